#include "common/log_reader.hpp"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

#include "common/run_stop.hpp"

namespace kapolex {

LogReader logFromFile(int fd, std::string path) {
  LogReader log;
  log.fd = fd;
  log.path = std::move(path);
  log.capacity = logBlockSize;
  log.storage = std::make_unique<std::uint8_t[]>(log.capacity);
  log.next = log.storage.get();
  log.end = log.next;
  return log;
}

LogReader logFromMemory(std::span<const std::uint8_t> bytes, std::string path) {
  LogReader log;
  log.path = std::move(path);
  log.next = bytes.data();
  log.end = bytes.data() + bytes.size();
  log.drained = true;
  return log;
}

namespace {

// Moves the unread bytes to the start of the storage and reads from the file
// until at least n bytes are buffered or the file ends.
void refill(LogReader& log, std::size_t n) {
  std::uint8_t* base = log.storage.get();
  const auto held = static_cast<std::size_t>(log.end - log.next);
  if (held > 0 && log.next != base) std::memmove(base, log.next, held);
  log.next = base;
  log.end = base + held;
  while (!log.drained && static_cast<std::size_t>(log.end - log.next) < n) {
    const auto filled = static_cast<std::size_t>(log.end - base);
    const ssize_t got = ::read(log.fd, base + filled, log.capacity - filled);
    if (got > 0) {
      log.end += got;
    } else if (got == 0) {
      log.drained = true;
    } else if (errno != EINTR) {
      stopRun(Diagnostic::readError, logUnit, log.path);
    }
  }
}

}  // namespace

std::size_t refillLogBytes(LogReader& log, std::size_t n) {
  assert(n <= logBlockSize);
  if (static_cast<std::size_t>(log.end - log.next) < n && !log.drained) refill(log, n);
  const auto held = static_cast<std::size_t>(log.end - log.next);
  return held < n ? held : n;
}

bool readLogBytes(LogReader& log, std::span<std::uint8_t> out) {
  const std::uint8_t* taken = takeLogBytes(log, out.size());
  if (taken == nullptr) return false;
  std::memcpy(out.data(), taken, out.size());
  return true;
}

}  // namespace kapolex
