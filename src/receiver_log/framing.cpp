#include "receiver_log/framing.hpp"

#include <cstring>

namespace kapolex {

bool slideToNextHeader(LogReader& log, MessageHeader& header) {
  // Each candidate window needs its length byte too: a log that ends three
  // bytes after a candidate sync byte ends the walk.
  for (;;) {
    const std::span<const std::uint8_t> held = log.peekBuffered(messageHeaderSize);
    if (held.size() < messageHeaderSize) {
      log.skipPeeked(held.size());
      return false;
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
        header = {candidate[0], candidate[1], candidate[2], candidate[3]};
        log.skipPeeked(static_cast<std::size_t>(candidate - first) + messageHeaderSize);
        return true;
      }
      ++candidate;
    }
    // Keep the last three bytes: they start the windows still to be tested.
    log.skipPeeked(static_cast<std::size_t>(lastStart - first));
  }
}

}  // namespace kapolex
