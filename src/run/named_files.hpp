// Observation files named by their epochs, as archives and processing
// services expect them: with --split one file per GPS day or hour, each
// opened at its period's first written epoch under the period's standard
// name; with --standard-name one file, written under a temporary name and
// given its standard name at its end, when its span is known. The
// conversion loop asks before each written epoch; the writer switches files.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "rinex/file_period.hpp"
#include "rinex/header_fields.hpp"
#include "rinex/observation_writer.hpp"
#include "run/run_options.hpp"

namespace kapolex {

// The period boundary of a split run: which of its files an epoch belongs
// in, by the epoch's whole GPS second.
class FileSplitter {
 public:
  // A file per day or per hour (dailyPeriod or hourlyPeriod), each period
  // starting at a GPS midnight or a whole GPS hour.
  explicit FileSplitter(FilePeriod period);

  // Whether the epoch at second starts a new file: true for the first
  // epoch and for the first one in a later period, which then becomes the
  // current period. An epoch dated before the current period (only a
  // damaged log has one) stays in the current file, so that no file of the
  // run is opened twice. Inline: it runs for every written epoch.
  bool startsNewFile(std::int64_t second) {
    if (second < periodEnd_) return false;
    periodStart_ = second - second % periodSeconds_;
    periodEnd_ = periodStart_ + periodSeconds_;
    return true;
  }

  // The nominal start and end of the current period, in whole GPS seconds.
  std::int64_t periodStart() const { return periodStart_; }
  std::int64_t periodEnd() const { return periodEnd_; }
  FilePeriod period() const { return period_; }

 private:
  FilePeriod period_;
  std::int64_t periodSeconds_;
  std::int64_t periodStart_ = 0;
  std::int64_t periodEnd_ = std::numeric_limits<std::int64_t>::min();
};

// A file the run wrote, as the console lists it.
struct WrittenFile {
  std::string path;  // the folder as given, then the file's name
  std::int64_t epochs = 0;
};

// How named files reach the disk (or memory, in tests).
struct NamedFileAccess {
  // Opens the file at path (as the console shows it) for observations,
  // created or replaced as --output's file is; a failure stops the run.
  std::function<OutputSink(const std::string& path)> open;
  // Gives the file at from the path to, replacing a file there; false if
  // it cannot, leaving it at from.
  std::function<bool(const std::string& from, const std::string& to)> rename;
  // When set, told of each file right after it is finished under its
  // final name.
  std::function<void(const WrittenFile&)> finished = {};
  // When set, told of each epoch not written because its period's file is
  // finished, with the count so far.
  std::function<void(std::int64_t count)> lateEpoch = {};
};

class NamedObservationFiles {
 public:
  // Files named as naming says, by the dialect and for the decimation
  // interval of header.
  NamedObservationFiles(StandardNaming naming, const HeaderFields& header, NamedFileAccess access);

  // Before each epoch written, at whole GPS second second: opens the first
  // file, or a split run's file of a new period, in writer. False for an
  // epoch that must not be written: its period's file is finished (only a
  // followed run finishes one before the next period's epoch).
  bool beforeEpoch(ObservationWriter& writer, std::int64_t second) {
    if (splitter_ ? splitter_->startsNewFile(second) : files_.empty()) {
      openFile(writer);
    } else if (currentFinished_ || (naming_.partNames && second < splitter_->periodStart())) {
      return lateEpoch();
    }
    ++files_.back().epochs;
    return true;
  }

  // The end, in whole GPS seconds, of the split run's period whose file is
  // open; none when no such file is open.
  std::optional<std::int64_t> openPeriodEnd() const;
  // Finishes the open period's file if its period ended at or before
  // second; a failure stops the run.
  void finishPeriodEndedBy(ObservationWriter& writer, std::int64_t second);

  // The files written so far, in order, with their epochs. An unsplit
  // run's file is listed under the standard name its epochs so far give it.
  std::vector<WrittenFile> files(const ObservationWriter& writer) const;

  // Closes writer's file, then gives an unsplit run's file its standard
  // name; the stop for the first failure, if any. The stop path's last
  // step too: what was written before a stop keeps its file and name.
  std::optional<RunStop> close(ObservationWriter& writer);

 private:
  void openFile(ObservationWriter& writer);
  bool lateEpoch();
  std::optional<RunStop> finishCurrent(ObservationWriter& writer);
  std::string writtenPath(const std::string& path) const;
  std::string standardPath(const EpochTime& start, FilePeriod period) const;

  StandardNaming naming_;
  const NamingDialect* names_;
  std::int32_t intervalSeconds_;
  NamedFileAccess access_;
  std::optional<FileSplitter> splitter_;
  std::vector<WrittenFile> files_;
  bool closed_ = false;
  bool currentFinished_ = false;  // the last file of files_ is finished
  std::int64_t lateEpochs_ = 0;
};

}  // namespace kapolex
