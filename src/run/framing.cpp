#include "run/framing.hpp"

#include <cstring>

#include "common/numeric.hpp"
#include "measure/do23.hpp"

namespace kapolex {

bool findNextHeader(LogReader& log, MessageHeader& header) {
  // In a sound log the next header starts right here.
  const std::span<const std::uint8_t> here = log.peek(messageHeaderSize);
  if (here.size() == messageHeaderSize && isValidHeader(here[0], here[1], here[2])) {
    header = {here[0], here[1], here[2], here[3]};
    log.skipPeeked(messageHeaderSize);
    return true;
  }
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

namespace {

bool isMeasurementMessage(int id) {
  return id == measurementMessageId || id == measurementMessageIdHigh;
}

}  // namespace

void frameMessages(LogReader& log, OutputSink& obs, ConversionState& state) {
  MessageHeader header;
  while (findNextHeader(log, header)) {
    const int id = MYBYTE(header.id);
    const int length = MYBYTE(header.length);
    // A zero-length message is neither counted nor dispatched.
    if (length != 0) {
      // Counted before the body is touched, so that a message cut off by the
      // end of the log still counts.
      ++state.messageCounts[static_cast<std::size_t>(id)];
      if (isMeasurementMessage(id)) {
        DO23(log, obs, state);
      } else if (!log.skip(static_cast<std::size_t>(length))) {
        return;
      }
    }
    if (!log.skip(messageTrailerSize)) return;
  }
}

}  // namespace kapolex
