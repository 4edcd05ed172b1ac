#include "common/output_sink.hpp"

#include <cstring>

#include "common/run_stop.hpp"

namespace kapolex {

OutputSink::OutputSink(platform::NativeHandle file, std::string* memory, int unit, std::string path,
                       std::size_t bufferSize)
    : file_(file),
      memory_(memory),
      unit_(unit),
      path_(std::move(path)),
      buffer_(std::make_unique_for_overwrite<char[]>(bufferSize)),
      capacity_(bufferSize) {}

OutputSink::OutputSink(FileDescriptor file, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite)
    : OutputSink(file.get(), nullptr, unit, std::move(path), bufferSize) {
  owned_ = std::move(file);
  cutPending_ = cutAtFirstWrite;
}

OutputSink OutputSink::borrowing(platform::NativeHandle file, int unit, std::string path,
                                 std::size_t bufferSize) {
  return OutputSink(file, nullptr, unit, std::move(path), bufferSize);
}

OutputSink::OutputSink(std::string& memory, int unit, std::string path, std::size_t bufferSize)
    : OutputSink(platform::invalidHandle, &memory, unit, std::move(path), bufferSize) {}

bool OutputSink::flushQuietly() {
  if (used_ == 0) return true;
  const std::size_t count = used_;
  used_ = 0;
  if (memory_ != nullptr) {
    memory_->append(buffer_.get(), count);
    return true;
  }
  if (cutPending_) {
    cutPending_ = false;
    if (!platform::truncate(file_, 0)) return false;
  }
  return platform::writeAll(file_, buffer_.get(), count);
}

void OutputSink::flush() {
  if (!flushQuietly()) stopRun(Diagnostic::writeError, unit_, path_);
}

bool OutputSink::close() {
  const bool flushed = flushQuietly();
  const bool closed = owned_.close();
  file_ = platform::invalidHandle;
  return flushed && closed;
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
