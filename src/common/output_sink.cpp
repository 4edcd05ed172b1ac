#include "common/output_sink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/run_stop.hpp"
#include "common/uninitialized_array.hpp"

namespace kapolex {

OutputSink::OutputSink(int fd, std::string* memory, int unit, std::string path,
                       std::size_t bufferSize)
    : fd_(fd),
      memory_(memory),
      unit_(unit),
      path_(std::move(path)),
      buffer_(uninitializedArray<char>(bufferSize)),
      capacity_(bufferSize) {}

OutputSink::OutputSink(FileDescriptor file, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite)
    : OutputSink(file.get(), nullptr, unit, std::move(path), bufferSize) {
  owned_ = std::move(file);
  cutPending_ = cutAtFirstWrite;
}

OutputSink OutputSink::borrowing(int fd, int unit, std::string path, std::size_t bufferSize) {
  return OutputSink(fd, nullptr, unit, std::move(path), bufferSize);
}

OutputSink::OutputSink(std::string& memory, int unit, std::string path, std::size_t bufferSize)
    : OutputSink(-1, &memory, unit, std::move(path), bufferSize) {
  memoryStart_ = memory.size();
}

namespace {

bool writeAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t done = ::write(fd, bytes, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

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
    if (::ftruncate(fd_, 0) != 0) return false;
  }
  return writeAll(fd_, buffer_.get(), count);
}

void OutputSink::flush() {
  if (!flushQuietly()) stopRun(Diagnostic::writeError, unit_, path_);
}

bool OutputSink::rewritable() const {
  if (memory_ != nullptr) return true;
  if (!owned_) return false;
  // The file's offset must be the sink's own count of bytes written out, so
  // that the sink's offsets are the file's; an appending descriptor would
  // put a rewrite at the end.
  struct stat status {};
  const int flags = ::fcntl(fd_, F_GETFL);
  const off_t offset = ::lseek(fd_, 0, SEEK_CUR);
  return ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode) && flags != -1 &&
         (flags & O_APPEND) == 0 && offset >= 0 && static_cast<std::uint64_t>(offset) == flushed_;
}

bool OutputSink::rewrite(std::uint64_t offset, std::string_view bytes) {
  if (offset > position() || bytes.size() > position() - offset || !rewritable()) return false;
  if (!flushQuietly()) return false;
  if (memory_ != nullptr) {
    // A memory sink's offsets are offsets into memory, so they fit its size.
    memory_->replace(memoryStart_ + static_cast<std::size_t>(offset), bytes.size(), bytes);
    return true;
  }
  while (!bytes.empty()) {
    const ssize_t done = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
    offset += static_cast<std::uint64_t>(done);
  }
  return true;
}

bool OutputSink::close() {
  const bool flushed = flushQuietly();
  const bool closed = owned_.close();
  fd_ = -1;
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
