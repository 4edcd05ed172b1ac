#include "common/output_sink.hpp"

#include <cstring>
#include <utility>

#include "common/run_stop.hpp"
#include "compat/uninitialized_array.hpp"

namespace kapolex {

OutputSink::OutputSink(OutputTarget target, int unit, std::string path, std::size_t bufferSize)
    : target_(std::move(target)),
      unit_(unit),
      path_(std::move(path)),
      buffer_(uninitializedArray<char>(bufferSize)),
      capacity_(bufferSize) {}

OutputSink::OutputSink(FileHandle file, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite)
    : OutputSink(OutputTarget(std::move(file), cutAtFirstWrite), unit, std::move(path),
                 bufferSize) {}

OutputSink OutputSink::borrowing(platform::NativeHandle file, int unit, std::string path,
                                 std::size_t bufferSize) {
  return OutputSink(OutputTarget::borrowing(file), unit, std::move(path), bufferSize);
}

OutputSink::OutputSink(std::string& memory, int unit, std::string path, std::size_t bufferSize)
    : OutputSink(OutputTarget(memory), unit, std::move(path), bufferSize) {}

OutputSink::~OutputSink() {
  // A failure here has no one left to hear of it; the stop path closes
  // every file itself and reports it.
  if (encoder_) close();
}

void OutputSink::encodeWith(std::unique_ptr<OutputEncoder> encoder) {
  assert(position() == 0);
  encoder_ = std::move(encoder);
}

bool OutputSink::flushQuietly() {
  if (used_ == 0) return true;
  const std::size_t count = used_;
  used_ = 0;
  flushed_ += count;
  if (encoder_) return encoder_->encode({buffer_.get(), count}, target_);
  return target_.append(buffer_.get(), count);
}

void OutputSink::flush() {
  if (!flushQuietly()) stopRun(Diagnostic::writeError, unit_, path_);
}

void OutputSink::endStoredPart() {
  if (!encoder_) return;
  if (!flushQuietly() || !encoder_->endStoredPart(target_)) {
    stopRun(Diagnostic::writeError, unit_, path_);
  }
}

bool OutputSink::rewrite(std::uint64_t offset, std::string_view bytes) {
  if (offset > position() || bytes.size() > position() - offset || !rewritable()) return false;
  if (!flushQuietly()) return false;
  if (encoder_) return encoder_->rewrite(offset, bytes, target_);
  return target_.writeAt(offset, bytes.data(), bytes.size());
}

bool OutputSink::close() {
  const bool flushed = flushQuietly();
  const bool finished = !encoder_ || encoder_->finish(target_);
  const bool closed = target_.close();
  return flushed && finished && closed;
}

void OutputSink::write(std::string_view text) {
  while (!text.empty()) {
    if (used_ == capacity_) flush();
    const std::size_t room = capacity_ - used_;
    const std::size_t part = text.size() < room ? text.size() : room;
    std::memcpy(buffer_.get() + used_, text.data(), part);
    used_ += part;
    text.remove_prefix(part);
  }
}

}  // namespace kapolex
