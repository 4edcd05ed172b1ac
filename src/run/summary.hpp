// The end-of-run report on the console: how many messages of each ID the
// log held, so the operator can see what the receiver recorded.
#pragma once

#include "common/message_counts.hpp"
#include "common/output_sink.hpp"

namespace kapolex {

// Writes one line per message ID seen, in ascending ID order, then the
// remark when the log held no message with ID 23.
void writeSummary(OutputSink& console, const MessageCounts& messageCounts);

}  // namespace kapolex
