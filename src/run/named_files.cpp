#include "run/named_files.hpp"

#include <utility>

#include "measure/gps_time.hpp"
#include "rinex/standard_names.hpp"
#include "run/output_names.hpp"

namespace kapolex {

FileSplitter::FileSplitter(FilePeriod period) : period_(period), periodSeconds_(period.seconds()) {}

NamedObservationFiles::NamedObservationFiles(StandardNaming naming, const HeaderFields& header,
                                             NamedFileAccess access)
    : naming_(std::move(naming)),
      names_(&header.dialect->names),
      intervalSeconds_(header.intervalSeconds),
      access_(std::move(access)) {
  if (naming_.split) splitter_.emplace(*naming_.split);
}

std::string NamedObservationFiles::standardPath(const EpochTime& start, FilePeriod period) const {
  std::string name = names_->fileName(naming_.station, start, period, intervalSeconds_);
  if (naming_.compactRinex) names_->toCompactName(name);
  if (naming_.gzip) name += gzipExtension;
  return pathInFolder(naming_.folder, name);
}

void NamedObservationFiles::openFile(ObservationWriter& writer) {
  std::string path = splitter_ ? standardPath(calendarTimeOfGpsSecond(splitter_->periodStart()),
                                              splitter_->period())
                               : naming_.temporaryPath;
  // The period's file is closed before the next one is made, so that a
  // failed close leaves no empty file behind under a name of its own.
  if (!writer.close()) stopRun(Diagnostic::writeError, writer.unit(), writer.path());
  writer.startNextFile(access_.open(path));
  files_.push_back({std::move(path), 0});
}

std::vector<WrittenFile> NamedObservationFiles::files(const ObservationWriter& writer) const {
  std::vector<WrittenFile> files = files_;
  const std::optional<EpochTime>& first = writer.firstEpochTime();
  const std::optional<EpochTime>& last = writer.lastEpochTime();
  if (!splitter_ && !files.empty() && first && last) {
    files.back().path = standardPath(*first, periodOfEpochs(*first, *last, intervalSeconds_));
  }
  return files;
}

std::optional<RunStop> NamedObservationFiles::close(ObservationWriter& writer) {
  if (closed_) return std::nullopt;
  closed_ = true;
  std::optional<RunStop> failure;
  const std::string written = writer.path();
  if (!writer.close()) failure.emplace(Diagnostic::writeError, writer.unit(), written);
  if (splitter_ || files_.empty()) return failure;
  // The unsplit file keeps its temporary name only if it has no epoch to
  // be named by (a stop inside its first epoch) or cannot be renamed.
  const std::string named = files(writer).back().path;
  if (named != naming_.temporaryPath && !access_.rename(naming_.temporaryPath, named) && !failure) {
    failure.emplace(Diagnostic::writeError, writer.unit(), written);
  }
  return failure;
}

}  // namespace kapolex
