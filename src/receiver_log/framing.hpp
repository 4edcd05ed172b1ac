// Walks the receiver log message by message. The log has no index and no
// record marks: messages are found by their 4-byte header, and after damaged
// data the walk finds its way back by sliding a 4-byte window one byte at a
// time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/log_reader.hpp"
#include "receiver_log/message_header.hpp"

namespace kapolex {

// The slow half of findNextHeader: slides over bytes that fail the header
// test until a window passes it.
bool slideToNextHeader(LogReader& log, MessageHeader& header);

// Finds the next header from the log's position on, sliding over bytes that
// fail the header test, and consumes it; false when the log ends first.
// Inline, because in a sound log the header starts right here.
inline bool findNextHeader(LogReader& log, MessageHeader& header) {
  const std::span<const std::uint8_t> here = log.peek(messageHeaderSize);
  if (here.size() == messageHeaderSize && isValidHeader(here[0], here[1], here[2])) {
    header = {here[0], here[1], here[2], here[3]};
    log.skipPeeked(messageHeaderSize);
    return true;
  }
  return slideToNextHeader(log, header);
}

// Yields the log's messages one by one, each to be counted under its ID. A
// measurement message is yielded with the log at its body's first byte, for
// the measurement stage to read by its own layout; every other body is
// stepped over by its length. Each message's 2-byte trailer is consumed on
// the way to the next header, from wherever the body's reading ended.
class MessageFramer {
 public:
  explicit MessageFramer(LogReader& log) : log_(log) {}

  // The next message with a non-zero length, or nullopt at the end of the
  // log. A message whose body the log cuts off is still yielded. Inline: it
  // runs for every message.
  std::optional<MessageHeader> next() {
    MessageHeader header;
    while (!ended_) {
      if (afterMessage_ && !log_.skip(messageTrailerSize)) break;
      afterMessage_ = true;
      if (!findNextHeader(log_, header)) break;
      // A zero-length message is neither counted nor dispatched: only its
      // trailer is consumed.
      if (header.length == 0) continue;
      // Yielded before its body is touched, so that a message cut off by
      // the end of the log still counts.
      if (!isMeasurementMessage(header.id) && !log_.skip(header.length)) ended_ = true;
      return header;
    }
    ended_ = true;
    return std::nullopt;
  }

 private:
  LogReader& log_;
  bool afterMessage_ = false;  // a trailer is due before the next header
  bool ended_ = false;
};

}  // namespace kapolex
