// Walks the receiver log message by message. The log has no index and no
// record marks: messages are found by their 4-byte header, and after damaged
// data the walk finds its way back by sliding a 4-byte window one byte at a
// time. The log may still be arriving: a message is yielded only once every
// byte its reading needs is held (or the log has ended), so that the walk
// over a log fed in pieces is the walk over the whole log.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/log_reader.hpp"
#include "receiver_log/measurement_body.hpp"
#include "receiver_log/message_header.hpp"

namespace kapolex {

// What a search for a header found.
enum class HeaderSearch {
  found,     // a valid header starts at the log's position
  needMore,  // fewer than four bytes are left to test, and more may come
  ended,     // the log ended first
};

// The slow half of seekHeader: slides over bytes that fail the header test
// until a window passes it, leaving the log at that window.
HeaderSearch slideToNextHeader(LogReader& log);

// Finds the next header from the log's position on, sliding over bytes that
// fail the header test, and leaves the log at it, unconsumed. Inline,
// because in a sound log the header starts right here.
inline HeaderSearch seekHeader(LogReader& log) {
  const std::span<const std::uint8_t> here = log.peek(messageHeaderSize);
  if (here.size() == messageHeaderSize && isValidHeader(here[0], here[1], here[2])) {
    return HeaderSearch::found;
  }
  return slideToNextHeader(log);
}

// The most bytes a message's reading takes from its header on: a
// measurement message read in full, longer than any other message.
constexpr std::size_t longestMessageRead = messageHeaderSize + longestBodyRead;

// What the walk yields next.
enum class FrameStep {
  message,   // a message, to be counted under its ID
  needMore,  // the next message is not wholly held yet; feed the log, then ask again
  ended,     // the log has ended
};

// Yields the log's messages one by one, each to be counted under its ID. A
// measurement message is yielded with the log at its body's first byte, for
// the measurement stage to read by its own layout; every other body is
// stepped over by its length. Each message's 2-byte trailer is consumed on
// the way to the next header, from wherever the body's reading ended.
class MessageFramer {
 public:
  explicit MessageFramer(LogReader& log) : log_(log) {}

  // The next message with a non-zero length; FrameStep::needMore while it
  // is not wholly held (nothing is consumed then but bytes that can start no
  // header). Once the log has ended, a message whose body the log cuts off
  // is still yielded. Always inline: it runs for every message, and the
  // walk's loop must not pay a call for it.
  [[gnu::always_inline]] FrameStep next(MessageHeader& header) {
    while (!ended_) {
      if (trailerDue_) {
        if (waitsFor(messageTrailerSize)) return FrameStep::needMore;
        if (!log_.skip(messageTrailerSize)) break;
      }
      // From the first header on, a trailer follows every header found.
      trailerDue_ = true;
      const HeaderSearch search = seekHeader(log_);
      if (search != HeaderSearch::found) {
        trailerDue_ = false;
        if (search == HeaderSearch::needMore) return FrameStep::needMore;
        break;
      }
      const std::uint8_t* bytes = log_.peek(messageHeaderSize).data();
      header = {bytes[0], bytes[1], bytes[2], bytes[3]};
      // A zero-length message is neither counted nor dispatched: only its
      // trailer is consumed.
      if (header.length != 0 && !log_.ended() && !wholeMessageHeld(header)) {
        trailerDue_ = false;
        return FrameStep::needMore;
      }
      log_.skipPeeked(messageHeaderSize);
      if (header.length == 0) continue;
      // Yielded before its body is touched, so that a message cut off by
      // the end of the log still counts.
      if (!isMeasurementMessage(header.id) && !log_.skip(header.length)) ended_ = true;
      return FrameStep::message;
    }
    ended_ = true;
    return FrameStep::ended;
  }

 private:
  // Whether the walk must wait for more of a log that has not ended to
  // hold count bytes.
  bool waitsFor(std::size_t count) const { return !log_.ended() && log_.held() < count; }

  // Whether every byte that the message at the log's position needs is
  // held: its header and the body bytes that are read or stepped over.
  bool wholeMessageHeld(const MessageHeader& header) const {
    // Nearly always true at once: the buffer holds far more than a message.
    if (log_.held() >= longestMessageRead) return true;
    if (!isMeasurementMessage(header.id)) {
      return log_.held() >= messageHeaderSize + std::size_t{header.length};
    }
    const std::span<const std::uint8_t> head = log_.peek(messageHeaderSize + bodyHeadSize);
    if (head.size() < messageHeaderSize + bodyHeadSize) return false;
    return log_.held() >=
           messageHeaderSize + bodyReadSize(readBodyHead(head.data() + messageHeaderSize));
  }

  LogReader& log_;
  bool trailerDue_ = false;  // a trailer is due before the next header
  bool ended_ = false;
};

}  // namespace kapolex
