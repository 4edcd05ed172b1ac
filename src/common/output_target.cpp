#include "common/output_target.hpp"

#include <utility>

namespace kapolex {

OutputTarget::OutputTarget(platform::NativeHandle file, std::string* memory)
    : file_(file), memory_(memory) {}

OutputTarget::OutputTarget(FileHandle file, bool cutAtFirstWrite)
    : OutputTarget(file.get(), nullptr) {
  owned_ = std::move(file);
  cutPending_ = cutAtFirstWrite;
  writtenFromStart_ = cutAtFirstWrite;
}

OutputTarget OutputTarget::borrowing(platform::NativeHandle file) {
  return OutputTarget(file, nullptr);
}

OutputTarget::OutputTarget(std::string& memory) : OutputTarget(platform::invalidHandle, &memory) {
  memoryStart_ = memory.size();
}

bool OutputTarget::append(const char* bytes, std::size_t count) {
  if (memory_ != nullptr) {
    memory_->append(bytes, count);
    return true;
  }
  if (cutPending_) {
    cutPending_ = false;
    if (!platform::truncate(file_, 0)) return false;
  }
  return platform::writeAll(file_, bytes, count);
}

bool OutputTarget::writeAt(std::uint64_t offset, const char* bytes, std::size_t count) {
  if (memory_ != nullptr) {
    // A memory target's offsets are offsets into memory, so they fit its size.
    memory_->replace(memoryStart_ + static_cast<std::size_t>(offset), count, bytes, count);
    return true;
  }
  return platform::writeAllAt(file_, bytes, count, offset);
}

bool OutputTarget::close() {
  const bool closed = owned_.close();
  file_ = platform::invalidHandle;
  return closed;
}

}  // namespace kapolex
