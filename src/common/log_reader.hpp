// Strictly forward reading of the receiver log, fed by its caller. The caller
// reads the log from wherever it comes (a file, a pipe, a file still being
// written, a browser's File) in large blocks straight into the reader's
// buffer, and the framing's and the decoding's small reads (1, 2, 3, 8, 11
// bytes) are served from memory; a log already in memory is served as it
// stands. The buffer has a fixed size whatever the log's size, and only the
// reader's own operations move its cursor.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kapolex {

constexpr std::size_t logBlockSize = std::size_t{1} << 20;

class LogReader {
 public:
  // A log that its caller feeds through space(), add() and end(), held in a
  // block of blockSize bytes; path is the log's full path name, for
  // diagnostics.
  explicit LogReader(std::string path, std::size_t blockSize = logBlockSize);
  // A log wholly in memory, which must outlive the reader; it has ended.
  LogReader(std::span<const std::uint8_t> bytes, std::string path);

  LogReader(LogReader&&) noexcept = default;
  LogReader& operator=(LogReader&&) noexcept = default;

  const std::string& path() const { return path_; }
  // How many bytes of the log have been consumed.
  std::uint64_t position() const { return baseOffset_ + static_cast<std::uint64_t>(next_ - base_); }

  // Room for the log's next bytes, after the ones held but not yet consumed
  // (which move to the block's start first); empty once the log has ended.
  std::span<std::uint8_t> space();
  // Takes count bytes that the caller put at the start of space().
  void add(std::size_t count) {
    assert(!ended_ && count <= static_cast<std::size_t>(storage_.get() + blockSize_ - end_));
    end_ += count;
  }
  // Says that no byte follows the ones held: the end of the log.
  void end() { ended_ = true; }
  // Whether the log has ended, so that the bytes held are all there is.
  bool ended() const { return ended_; }
  // How many bytes are held and not yet consumed.
  std::size_t held() const { return static_cast<std::size_t>(end_ - next_); }

  // Up to n held bytes at the cursor, not consumed: fewer when fewer are
  // held. Inline, because it runs for nearly every read.
  std::span<const std::uint8_t> peek(std::size_t n) const {
    const std::size_t count = held();
    return {next_, count < n ? count : n};
  }

  // Every held byte at the cursor: for scans that look further ahead than
  // one read.
  std::span<const std::uint8_t> peekBuffered() const { return {next_, held()}; }

  // Consumes n bytes that a peek has shown.
  void skipPeeked(std::size_t n) {
    assert(n <= held());
    next_ += n;
  }

  // Consumes the next n bytes and returns them, or returns nullptr when
  // fewer than n are held; those last bytes are then consumed and ignored.
  // Only an ended log may fall short: its reader's caller checks first.
  const std::uint8_t* take(std::size_t n) {
    if (held() < n) {
      assert(ended_);
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
  std::string path_;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::size_t blockSize_ = 0;
  const std::uint8_t* base_ = nullptr;  // where the held bytes' offsets start
  const std::uint8_t* next_ = nullptr;  // first unread byte
  const std::uint8_t* end_ = nullptr;   // one past the last byte held
  std::uint64_t baseOffset_ = 0;        // log offset of base_
  bool ended_ = false;                  // no byte follows the ones held
};

}  // namespace kapolex
