#include "common/output_sink.hpp"

#include <cstring>

#include "common/run_stop.hpp"
#include "compat/uninitialized_array.hpp"

namespace kapolex {

OutputSink::OutputSink(platform::NativeHandle file, std::string* memory, int unit, std::string path,
                       std::size_t bufferSize)
    : file_(file),
      memory_(memory),
      unit_(unit),
      path_(std::move(path)),
      buffer_(uninitializedArray<char>(bufferSize)),
      capacity_(bufferSize) {}

OutputSink::OutputSink(FileHandle file, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite)
    : OutputSink(file.get(), nullptr, unit, std::move(path), bufferSize) {
  owned_ = std::move(file);
  cutPending_ = cutAtFirstWrite;
  writtenFromStart_ = cutAtFirstWrite;
}

OutputSink OutputSink::borrowing(platform::NativeHandle file, int unit, std::string path,
                                 std::size_t bufferSize) {
  return OutputSink(file, nullptr, unit, std::move(path), bufferSize);
}

OutputSink::OutputSink(std::string& memory, int unit, std::string path, std::size_t bufferSize)
    : OutputSink(platform::invalidHandle, &memory, unit, std::move(path), bufferSize) {
  memoryStart_ = memory.size();
}

bool OutputSink::flushQuietly() {
  if (used_ == 0) return true;
  const std::size_t count = used_;
  used_ = 0;
  flushed_ += count;
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

bool OutputSink::rewrite(std::uint64_t offset, std::string_view bytes) {
  if (offset > position() || bytes.size() > position() - offset || !rewritable()) return false;
  if (!flushQuietly()) return false;
  if (memory_ != nullptr) {
    // A memory sink's offsets are offsets into memory, so they fit its size.
    memory_->replace(memoryStart_ + static_cast<std::size_t>(offset), bytes.size(), bytes);
    return true;
  }
  return platform::writeAllAt(file_, bytes.data(), bytes.size(), offset);
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
