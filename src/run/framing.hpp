// Walks the receiver log message by message. The log has no index and no
// record marks: messages are found by their 4-byte header, and after damaged
// data the walk finds its way back by sliding a 4-byte window one byte at a
// time.
#pragma once

#include "common/conversion_state.hpp"
#include "common/log_reader.hpp"
#include "common/message_header.hpp"
#include "common/output_sink.hpp"

namespace kapolex {

// Finds the next header from the log's position on, sliding over bytes that
// fail the header test, and consumes it; false when the log ends first.
bool findNextHeader(LogReader& log, MessageHeader& header);

// Walks the whole log: counts each framed message under its ID, hands each
// measurement message to DO23, skips the bodies of all others and consumes
// each message's 2-byte trailer. Returns at the end of the log.
void frameMessages(LogReader& log, OutputSink& obs, ConversionState& state);

}  // namespace kapolex
