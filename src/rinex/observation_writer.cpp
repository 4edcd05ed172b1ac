#include "rinex/observation_writer.hpp"

#include <cassert>

#include "rinex/epoch_record.hpp"
#include "rinex/header.hpp"

namespace kapolex {

namespace {

// Room for one header line with its line end.
constexpr std::size_t headerLineCapacity = 128;

}  // namespace

const std::string& ObservationWriter::path() const {
  static const std::string none;
  return file_ ? file_->path() : none;
}

void ObservationWriter::writeHeader(std::string_view version, const LocalClock& clock) {
  version_ = version;
  clock_ = &clock;
  if (file_) writeFixedLines();
}

void ObservationWriter::writeFixedLines() {
  writeHeaderStart(*file_, version_, fields_, *clock_);
  headerOpen_ = true;
}

void ObservationWriter::writeEpoch(const MeasurementEpoch& epoch) {
  assert(file_);
  OutputSink& file = *file_;
  if (headerOpen_) {
    // TIME OF FIRST OBS carries exactly the time that the epoch line prints.
    // TIME OF LAST OBS is only promised where it can be filled in later.
    const bool withLastObservation = fields_.withLastObservation && file.rewritable();
    lastObservationOffset_ =
        writeHeaderEnd(file, epoch.time, fields_.rinexVersion, withLastObservation);
    // The header is all that is ever rewritten: an encoded file (gzip)
    // keeps it apart, where TIME OF LAST OBS can still be filled in.
    file.endStoredPart();
    firstEpochTime_ = epoch.time;
    headerOpen_ = false;
  }
  if (fields_.rinexVersion == RinexVersion::v3_04) {
    writeRinex3EpochRecord(file, epoch, fields_.withSnr);
  } else {
    writeEpochRecord(file, epoch, fields_.withSnr);
  }
  lastEpochTime_ = epoch.time;
}

bool ObservationWriter::close() {
  if (!file_) return true;
  bool filledIn = true;
  if (lastObservationOffset_ && lastEpochTime_) {
    std::string line;
    {
      OutputSink lineSink(line, unit(), path(), headerLineCapacity);
      writeLastObservationTime(lineSink, *lastEpochTime_);
      lineSink.flushQuietly();
    }
    filledIn = file_->rewrite(*lastObservationOffset_, line);
  }
  lastObservationOffset_.reset();
  const bool closed = file_->close();
  return filledIn && closed;
}

void ObservationWriter::startNextFile(OutputSink next) {
  assert(clock_ != nullptr);
  if (!close()) stopRun(Diagnostic::writeError, unit(), path());
  file_.emplace(std::move(next));
  firstEpochTime_.reset();
  lastEpochTime_.reset();
  writeFixedLines();
}

}  // namespace kapolex
