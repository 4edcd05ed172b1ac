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

std::string NamedObservationFiles::writtenPath(const std::string& path) const {
  return naming_.partNames ? path + std::string(partSuffix) : path;
}

void NamedObservationFiles::openFile(ObservationWriter& writer) {
  std::string path = splitter_ ? standardPath(calendarTimeOfGpsSecond(splitter_->periodStart()),
                                              splitter_->period())
                               : naming_.temporaryPath;
  // The period's file is closed before the next one is made, so that a
  // failed close leaves no empty file behind under a name of its own.
  if (std::optional<RunStop> failure = finishCurrent(writer)) throw RunStop(std::move(*failure));
  writer.startNextFile(access_.open(writtenPath(path)));
  files_.push_back({std::move(path), 0});
  currentFinished_ = false;
}

bool NamedObservationFiles::lateEpoch() {
  ++lateEpochs_;
  if (access_.lateEpoch) access_.lateEpoch(lateEpochs_);
  return false;
}

std::optional<RunStop> NamedObservationFiles::finishCurrent(ObservationWriter& writer) {
  const std::string written = writer.path();
  if (!writer.close()) return RunStop(Diagnostic::writeError, writer.unit(), written);
  if (!splitter_ || files_.empty() || currentFinished_) return std::nullopt;
  currentFinished_ = true;
  const WrittenFile& file = files_.back();
  if (naming_.partNames && !access_.rename(writtenPath(file.path), file.path)) {
    return RunStop(Diagnostic::writeError, writer.unit(), written);
  }
  if (access_.finished) access_.finished(file);
  return std::nullopt;
}

std::optional<std::int64_t> NamedObservationFiles::openPeriodEnd() const {
  if (!splitter_ || files_.empty() || currentFinished_) return std::nullopt;
  return splitter_->periodEnd();
}

void NamedObservationFiles::finishPeriodEndedBy(ObservationWriter& writer, std::int64_t second) {
  const std::optional<std::int64_t> end = openPeriodEnd();
  if (!end || *end > second) return;
  if (std::optional<RunStop> failure = finishCurrent(writer)) throw RunStop(std::move(*failure));
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
  if (splitter_) return finishCurrent(writer);
  std::optional<RunStop> failure;
  const std::string written = writer.path();
  if (!writer.close()) failure.emplace(Diagnostic::writeError, writer.unit(), written);
  if (files_.empty()) return failure;
  // The unsplit file keeps its temporary name only if it has no epoch to
  // be named by (a stop inside its first epoch) or cannot be renamed.
  const WrittenFile named = files(writer).back();
  if (named.path != naming_.temporaryPath && !access_.rename(naming_.temporaryPath, named.path) &&
      !failure) {
    failure.emplace(Diagnostic::writeError, writer.unit(), written);
  }
  if (!failure && named.path != naming_.temporaryPath && access_.finished) {
    access_.finished(named);
  }
  return failure;
}

}  // namespace kapolex
