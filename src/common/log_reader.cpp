#include "common/log_reader.hpp"

#include <cstring>

#include "compat/uninitialized_array.hpp"

namespace kapolex {

LogReader::LogReader(std::string path, std::size_t blockSize)
    : path_(std::move(path)),
      // Every byte of the block is written by the caller before it is
      // looked at.
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
      ended_(true) {}

std::span<std::uint8_t> LogReader::space() {
  if (ended_) return {};
  std::uint8_t* const block = storage_.get();
  const std::size_t count = held();
  baseOffset_ += static_cast<std::uint64_t>(next_ - base_);
  if (count > 0 && next_ != block) std::memmove(block, next_, count);
  base_ = block;
  next_ = block;
  end_ = block + count;
  return {block + count, blockSize_ - count};
}

}  // namespace kapolex
