// Strictly forward reading of the receiver log. The file is read in large
// blocks; the framing's and the decoding's small reads (1, 2, 3, 8, 11 bytes)
// are served from memory. The log is never sought in nor re-read, and the
// buffer has a fixed size whatever the log's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kapolex {

constexpr std::size_t logBlockSize = std::size_t{1} << 20;

struct LogReader {
  int fd = -1;       // -1 when the whole log is already in memory
  std::string path;  // full path name, for diagnostics
  std::unique_ptr<std::uint8_t[]> storage;
  std::size_t capacity = 0;
  const std::uint8_t* next = nullptr;  // first unread byte
  const std::uint8_t* end = nullptr;   // one past the last byte read so far
  bool drained = false;                // the file has nothing more to give
};

// A reader over an open file descriptor; it does not own the descriptor.
LogReader logFromFile(int fd, std::string path);

// A reader over bytes in memory, which must outlive the reader.
LogReader logFromMemory(std::span<const std::uint8_t> bytes, std::string path);

// Reads more of the file so that up to n bytes are contiguous at next;
// returns how many are there. The slow half of ensureLogBytes.
std::size_t refillLogBytes(LogReader& log, std::size_t n);

// Makes up to n (at most logBlockSize) bytes contiguous at next; returns how
// many are there, fewer than n only at the end of the log. A read failure
// other than the end of the file stops the run. Inline, because nearly every
// call finds its bytes already in memory.
inline std::size_t ensureLogBytes(LogReader& log, std::size_t n) {
  if (static_cast<std::size_t>(log.end - log.next) >= n) return n;
  return refillLogBytes(log, n);
}

// Takes the next n bytes and returns them, or returns nullptr when fewer than
// n remain; those last bytes are then consumed and ignored.
inline const std::uint8_t* takeLogBytes(LogReader& log, std::size_t n) {
  if (ensureLogBytes(log, n) < n) {
    log.next = log.end;
    return nullptr;
  }
  const std::uint8_t* taken = log.next;
  log.next += n;
  return taken;
}

// Copies the next n bytes into out; false (and the log consumed) when fewer
// than n remain.
bool readLogBytes(LogReader& log, std::span<std::uint8_t> out);

}  // namespace kapolex
