// What a run is asked to do, as its command line says: the files it reads
// and writes, the week, what the observation header says, which epochs it
// writes and how its observation files are named.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rinex/file_period.hpp"
#include "rinex/header_fields.hpp"
#include "run/time_window.hpp"

namespace kapolex {

// "-" names standard input as the log and standard output as an output.
inline constexpr std::string_view standardStreamName = "-";

// Observation files that take their standard names (--split,
// --standard-name), in a folder.
struct StandardNaming {
  // As --output gave it, or the folder part of the log's path; empty for
  // the working directory.
  std::string folder;
  std::string station;  // an id that the run's dialect accepts
  // A file for each day or hour; without, one file named at its end.
  std::optional<FilePeriod> split;
  // Where the one file is written until its name is known.
  std::string temporaryPath;
  // A followed split run writes each period's file under its name with
  // partSuffix and gives it its name once finished, so that a name that
  // appears is a finished file.
  bool partNames = false;
  // The names of Compact RINEX files (".yyd", ".crx"), and ".gz" added to
  // gzip'd ones.
  bool compactRinex = false;
  bool gzip = false;
};

inline constexpr std::string_view partSuffix = ".part";

// How long a followed run waits, by default, before it finishes a period's
// file that the clock says is over.
inline constexpr std::int32_t defaultFinishAfterSeconds = 60;

struct RunOptions {
  std::string logPath;  // as given; "-" for standard input
  // As given or derived; "-" for standard output; empty for none.
  std::string observationPath;
  std::optional<std::int32_t> week;  // from --week or --date; asked at the console without
  // --week auto: no week given, none asked; the clock chooses it.
  bool weekFromClock = false;
  HeaderFields header;  // with the decimation interval and S1
  bool quiet = false;   // no summary
  // The observation files in Compact RINEX, and compressed by gzip.
  bool compactRinex = false;
  bool gzip = false;
  // The quality reports: text, JSON and the tracking plot; empty when not
  // asked for, "-" for standard output.
  std::string qualityTextPath;
  std::string qualityJsonPath;
  std::string trackingPlotPath;
  // The same reports beside each file of a split run, of its epochs only.
  bool qualityTextEach = false;
  bool qualityJsonEach = false;
  bool trackingPlotEach = false;
  TimeWindow window;  // of the kept epochs, the ones written
  // With it, the observation files take their standard names, and
  // observationPath is empty.
  std::optional<StandardNaming> naming;
  // With --follow the log is followed as another program writes it: the
  // end of a file waits for more, rotations and truncations are followed,
  // and a stop request ends the run as the end of a log ends it.
  bool follow = false;
  // A followed run ends after this many seconds without a new byte; 0 for
  // never.
  std::int32_t idleExitSeconds = 0;
  // A followed run's period file is finished when no byte has come for
  // this long and the clock is past the period's end by as much.
  std::int32_t finishAfterSeconds = defaultFinishAfterSeconds;
};

}  // namespace kapolex
