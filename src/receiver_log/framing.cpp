#include "receiver_log/framing.hpp"

#include <cstring>

namespace kapolex {

HeaderSearch slideToNextHeader(LogReader& log) {
  // Each candidate window needs its length byte too: a log that ends three
  // bytes after a candidate sync byte ends the walk, and a log still
  // arriving keeps its last three bytes until more come.
  const std::span<const std::uint8_t> held = log.peekBuffered();
  if (held.size() < messageHeaderSize) {
    if (!log.ended()) return HeaderSearch::needMore;
    log.skipPeeked(held.size());
    return HeaderSearch::ended;
  }
  const std::uint8_t* const first = held.data();
  const std::uint8_t* const lastStart = first + held.size() - (messageHeaderSize - 1);
  const std::uint8_t* candidate = first;
  while (candidate < lastStart) {
    const void* sync =
        std::memchr(candidate, messageSync, static_cast<std::size_t>(lastStart - candidate));
    if (sync == nullptr) break;
    candidate = static_cast<const std::uint8_t*>(sync);
    if (isValidHeader(candidate[0], candidate[1], candidate[2])) {
      log.skipPeeked(static_cast<std::size_t>(candidate - first));
      return HeaderSearch::found;
    }
    ++candidate;
  }
  // The last three bytes start the windows still to be tested.
  log.skipPeeked(static_cast<std::size_t>(lastStart - first));
  if (!log.ended()) return HeaderSearch::needMore;
  log.skipPeeked(messageHeaderSize - 1);
  return HeaderSearch::ended;
}

}  // namespace kapolex
