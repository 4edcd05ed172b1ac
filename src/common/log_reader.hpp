// Strictly forward reading of the receiver log. A file is read in large
// blocks and the framing's and the decoding's small reads (1, 2, 3, 8, 11
// bytes) are served from memory; a log already in memory is served as it
// stands. The log is never sought in nor re-read, and the buffer has a fixed
// size whatever the log's size. Only the reader's own operations move its
// cursor.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/file_handle.hpp"

namespace kapolex {

constexpr std::size_t logBlockSize = std::size_t{1} << 20;

class LogReader {
 public:
  // Reads the open file, which the reader then owns, through a block of
  // blockSize bytes; path is the file's full path name, for diagnostics.
  LogReader(FileHandle file, std::string path, std::size_t blockSize = logBlockSize);
  // Serves bytes in memory, which must outlive the reader.
  LogReader(std::span<const std::uint8_t> bytes, std::string path);

  LogReader(LogReader&&) noexcept = default;
  LogReader& operator=(LogReader&&) noexcept = default;

  const std::string& path() const { return path_; }
  // How many bytes of the log have been consumed.
  std::uint64_t position() const { return baseOffset_ + static_cast<std::uint64_t>(next_ - base_); }

  // Up to n (at most blockSize) bytes at the cursor, not consumed; fewer
  // only at the end of the log. A read failure other than the end of the
  // file stops the run. Inline, because nearly every call finds its bytes
  // already in memory.
  std::span<const std::uint8_t> peek(std::size_t n) {
    if (static_cast<std::size_t>(end_ - next_) < n) refill(n);
    const auto held = static_cast<std::size_t>(end_ - next_);
    return {next_, held < n ? held : n};
  }

  // Every byte in memory at the cursor, at least n of them unless the log
  // ends first: for scans that look further ahead than one read.
  std::span<const std::uint8_t> peekBuffered(std::size_t n) {
    if (static_cast<std::size_t>(end_ - next_) < n) refill(n);
    return {next_, static_cast<std::size_t>(end_ - next_)};
  }

  // Consumes n bytes that a peek has shown.
  void skipPeeked(std::size_t n) {
    assert(n <= static_cast<std::size_t>(end_ - next_));
    next_ += n;
  }

  // Consumes the next n bytes and returns them, or returns nullptr when fewer
  // than n remain; those last bytes are then consumed and ignored.
  const std::uint8_t* take(std::size_t n) {
    if (peek(n).size() < n) {
      next_ = end_;
      return nullptr;
    }
    const std::uint8_t* taken = next_;
    next_ += n;
    return taken;
  }

  // Consumes the next n bytes; false, with the log consumed, when fewer remain.
  bool skip(std::size_t n) { return take(n) != nullptr; }

 private:
  // Moves the unread bytes to the start of the block and reads from the file
  // until at least n bytes are held or the file ends.
  void refill(std::size_t n);

  FileHandle file_;
  std::string path_;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::size_t blockSize_ = 0;
  const std::uint8_t* base_ = nullptr;  // where the held bytes' offsets start
  const std::uint8_t* next_ = nullptr;  // first unread byte
  const std::uint8_t* end_ = nullptr;   // one past the last byte held
  std::uint64_t baseOffset_ = 0;        // log offset of base_
  bool drained_ = false;                // the source has nothing more to give
};

}  // namespace kapolex
