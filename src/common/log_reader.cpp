#include "common/log_reader.hpp"

#include <cstring>

#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "compat/uninitialized_array.hpp"

namespace kapolex {

LogReader::LogReader(FileHandle file, std::string path, std::size_t blockSize)
    : file_(std::move(file)),
      path_(std::move(path)),
      // Every byte of the block is written by a read before it is looked at.
      storage_(uninitializedArray<std::uint8_t>(blockSize)),
      blockSize_(blockSize),
      base_(storage_.get()),
      next_(base_),
      end_(base_) {}

LogReader::LogReader(std::span<const std::uint8_t> bytes, std::string path)
    : path_(std::move(path)),
      blockSize_(bytes.size()),
      base_(bytes.data()),
      next_(bytes.data()),
      end_(bytes.data() + bytes.size()),
      drained_(true) {}

void LogReader::refill(std::size_t n) {
  assert(n <= blockSize_ || drained_);
  if (drained_) return;
  std::uint8_t* const block = storage_.get();
  const auto held = static_cast<std::size_t>(end_ - next_);
  baseOffset_ += static_cast<std::uint64_t>(next_ - base_);
  if (held > 0 && next_ != block) std::memmove(block, next_, held);
  base_ = block;
  next_ = block;
  end_ = block + held;
  while (!drained_ && static_cast<std::size_t>(end_ - next_) < n) {
    const auto filled = static_cast<std::size_t>(end_ - block);
    const std::ptrdiff_t got = platform::readSome(file_.get(), block + filled, blockSize_ - filled);
    if (got > 0) {
      end_ += got;
    } else if (got == 0) {
      drained_ = true;
    } else {
      stopRun(Diagnostic::readError, logUnit, path_);
    }
  }
}

}  // namespace kapolex
