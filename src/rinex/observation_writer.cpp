#include "rinex/observation_writer.hpp"

#include <cassert>

#include "rinex/header.hpp"

namespace kapolex {

namespace {

// Room for one header line with its line end, and for a header's lines.
constexpr std::size_t headerLineCapacity = 128;
constexpr std::size_t headerCapacity = 4096;

// The encoder given, or the dialect's plain text.
std::unique_ptr<EpochEncoder> encoderFor(const HeaderFields& fields,
                                         std::unique_ptr<EpochEncoder> given) {
  return given ? std::move(given) : plainTextEncoder(*fields.dialect, fields.withSnr);
}

}  // namespace

ObservationWriter::ObservationWriter(OutputSink file, HeaderFields fields,
                                     std::unique_ptr<EpochEncoder> encoder)
    : file_(std::move(file)),
      fields_(std::move(fields)),
      encoder_(encoderFor(fields_, std::move(encoder))) {}

ObservationWriter::ObservationWriter(HeaderFields fields, int unit,
                                     std::unique_ptr<EpochEncoder> encoder)
    : fields_(std::move(fields)), encoder_(encoderFor(fields_, std::move(encoder))), unit_(unit) {}

const std::string& ObservationWriter::path() const {
  static const std::string none;
  return file_ ? file_->path() : none;
}

void ObservationWriter::writeHeader(std::string_view version, const LocalClock& clock) {
  version_ = version;
  clock_ = &clock;
  if (file_) writeFixedLines();
}

template <class WriteLines>
std::uint64_t ObservationWriter::writeHeaderLines(WriteLines writeLines) {
  headerText_.clear();
  std::optional<std::uint64_t> marked;
  {
    OutputSink staging(headerText_, unit(), path(), headerCapacity);
    marked = writeLines(staging);
    staging.flushQuietly();
  }
  // marked is an offset in the header's own text, which a size_t holds on
  // every target (the browser's is 32 bits wide).
  return encoder_->writeHeaderLines(*file_, headerText_,
                                    static_cast<std::size_t>(marked.value_or(0)));
}

void ObservationWriter::writeFixedLines() {
  encoder_->startFile(*file_);
  // The header goes through the encoder, which copies it as the encoding
  // has it (Compact RINEX drops line ends' CRs and trailing blanks).
  writeHeaderLines([&](OutputSink& lines) {
    writeHeaderStart(lines, version_, fields_, *clock_);
    return std::optional<std::uint64_t>();
  });
  headerOpen_ = true;
}

void ObservationWriter::writeEpoch(const MeasurementEpoch& epoch) {
  assert(file_);
  OutputSink& file = *file_;
  if (headerOpen_) {
    // TIME OF FIRST OBS carries exactly the time that the epoch line prints.
    // TIME OF LAST OBS is only promised where it can be filled in later.
    const bool withLastObservation = fields_.withLastObservation && file.rewritable();
    const std::uint64_t marked = writeHeaderLines([&](OutputSink& lines) {
      return writeHeaderEnd(lines, epoch.time, *fields_.dialect, withLastObservation);
    });
    if (withLastObservation) lastObservationOffset_ = marked;
    // The header is all that is ever rewritten: an encoded file (gzip)
    // keeps it apart, where TIME OF LAST OBS can still be filled in.
    file.endStoredPart();
    firstEpochTime_ = epoch.time;
    headerOpen_ = false;
  }
  encoder_->writeEpoch(file, epoch);
  lastEpochTime_ = epoch.time;
}

bool ObservationWriter::close() {
  if (!file_) return true;
  bool filledIn = true;
  if (headerOpen_) {
    encoder_->closeEmptyHeader(*file_);
    headerOpen_ = false;
  }
  if (lastObservationOffset_ && lastEpochTime_) {
    std::string line;
    {
      OutputSink lineSink(line, unit(), path(), headerLineCapacity);
      writeLastObservationTime(lineSink, *lastEpochTime_);
      lineSink.flushQuietly();
    }
    encoder_->encodeHeaderLine(line);
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
