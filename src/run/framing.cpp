#include "run/framing.hpp"

#include <cstring>

#include "common/numeric.hpp"
#include "measure/do23.hpp"

namespace kapolex {

bool findNextHeader(LogReader& log, MessageHeader& header) {
  // In a sound log the next header starts right here.
  if (ensureLogBytes(log, messageHeaderSize) == messageHeaderSize &&
      isValidHeader(log.next[0], log.next[1], log.next[2])) {
    header = {log.next[0], log.next[1], log.next[2], log.next[3]};
    log.next += messageHeaderSize;
    return true;
  }
  // Each candidate window needs its length byte too: a log that ends three
  // bytes after a candidate sync byte ends the walk.
  while (ensureLogBytes(log, messageHeaderSize) == messageHeaderSize) {
    const std::uint8_t* candidate = log.next;
    const std::uint8_t* const lastStart = log.end - (messageHeaderSize - 1);
    while (candidate < lastStart) {
      const void* sync =
          std::memchr(candidate, messageSync, static_cast<std::size_t>(lastStart - candidate));
      if (sync == nullptr) break;
      candidate = static_cast<const std::uint8_t*>(sync);
      if (isValidHeader(candidate[0], candidate[1], candidate[2])) {
        header = {candidate[0], candidate[1], candidate[2], candidate[3]};
        log.next = candidate + messageHeaderSize;
        return true;
      }
      ++candidate;
    }
    // Keep the last three bytes: they start the windows still to be tested.
    log.next = lastStart;
  }
  log.next = log.end;
  return false;
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
      } else if (takeLogBytes(log, static_cast<std::size_t>(length)) == nullptr) {
        return;
      }
    }
    if (takeLogBytes(log, messageTrailerSize) == nullptr) return;
  }
}

}  // namespace kapolex
