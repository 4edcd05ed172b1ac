// A RINEX version as a constant value: everything that differs between the
// observation files of RINEX 2.10 and 3.04 (header lines, record layouts and
// their writers, whether TIME OF LAST OBS is required, station ids and file
// names) gathered in one dialect, chosen once where a run is set up. Nothing
// along the way asks which version it writes; it asks the dialect.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/epoch_time.hpp"
#include "common/measurement.hpp"
#include "common/output_sink.hpp"
#include "rinex/file_period.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex {

// A header line of fixed text: columns 1 to 60, then the label.
struct HeaderLineText {
  std::string_view content;
  std::string_view label;
};

// The header lines that differ between versions. The lines that do not (the
// station and equipment, the comments, the observation times, END OF
// HEADER) are the header's own.
struct HeaderDialect {
  std::string_view versionTypeContent;  // RINEX VERSION / TYPE
  // PGM / RUN BY / DATE: the program's name, its version text, the run-by
  // columns (the blanks after the program field, then the run-by field) and
  // the run's local date and time.
  void (*writeRunDateLine)(OutputSink& obs, std::string_view version, std::string_view runByColumns,
                           const LocalDate& date, const LocalTimeOfDay& time);
  // The lines that declare the observation types, without S1 and with it.
  std::span<const HeaderLineText> observationTypeLines;
  std::span<const HeaderLineText> observationTypeLinesWithSnr;
  // INTERVAL with the decimation interval in seconds.
  void (*writeIntervalLine)(OutputSink& obs, std::int32_t seconds);
  // The lines after TIME OF FIRST OBS and TIME OF LAST OBS, before END OF
  // HEADER.
  std::span<const HeaderLineText> closingLines;
};

// Writes one kept epoch's block: its epoch line or record and one
// observation line per channel.
using EpochRecordWriter = void (*)(OutputSink& obs, const MeasurementEpoch& epoch);

// The data section's writers, each walking the epoch's channels once with
// its layouts fixed while compiling.
struct EpochRecordDialect {
  EpochRecordWriter withoutSnr;  // L1 and C1
  EpochRecordWriter withSnr;     // and S1

  // The writer for the run's observation types, chosen once per run.
  EpochRecordWriter writerFor(bool observesSnr) const { return observesSnr ? withSnr : withoutSnr; }
};

// Station ids and the standard file names made from them.
struct NamingDialect {
  // Whether id can name the station in the dialect's file names.
  bool (*isStationId)(std::string_view id);
  // What a usage error asks for when --station gives an id that cannot.
  std::string_view stationHint;
  // The standard name of a file whose period starts at start, for a
  // station that isStationId accepts.
  std::string (*fileName)(std::string_view station, const EpochTime& start, FilePeriod period,
                          std::int32_t intervalSeconds);
  // The standard name of the same file in Compact RINEX: ".yyo" becomes
  // ".yyd", ".rnx" becomes ".crx".
  void (*toCompactName)(std::string& name);
};

// What Compact RINEX writes differently for the version (CRINEX 1.0 for
// RINEX 2, 3.0 for RINEX 3): defined with its encoder.
struct CompactRinexDialect;

// Each unit defines its part of both dialects: header.cpp, epoch_record.cpp,
// standard_names.cpp and compact_rinex_encoder.cpp.
extern const HeaderDialect rinex2Header;
extern const HeaderDialect rinex3Header;
extern const EpochRecordDialect rinex2EpochRecords;
extern const EpochRecordDialect rinex3EpochRecords;
extern const NamingDialect rinex2Names;
extern const NamingDialect rinex3Names;
extern const CompactRinexDialect compactRinex1;
extern const CompactRinexDialect compactRinex3;

struct RinexDialect {
  const HeaderDialect& header;
  const EpochRecordDialect& epochRecords;
  const NamingDialect& names;
  // Whether every file closes its header with TIME OF LAST OBS, where the
  // output can be rewritten. (Files named by their epochs also do, by the
  // naming's rule, in either version.)
  bool lastObservationRequired;
  const CompactRinexDialect& compact;
};

// RINEX 2.10, the program's own and its default.
inline constexpr RinexDialect rinex2Dialect{rinex2Header, rinex2EpochRecords, rinex2Names, false,
                                            compactRinex1};
// RINEX 3.04.
inline constexpr RinexDialect rinex3Dialect{rinex3Header, rinex3EpochRecords, rinex3Names, true,
                                            compactRinex3};

}  // namespace kapolex
