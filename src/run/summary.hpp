// The end-of-run report on the console: how many messages of each ID the
// log held, so the operator can see what the receiver recorded, and the
// files written when they were named by their epochs.
#pragma once

#include <span>
#include <string_view>

#include "common/output_sink.hpp"
#include "receiver_log/message_counts.hpp"
#include "run/named_files.hpp"

namespace kapolex {

// Writes one line per message ID seen, in ascending ID order, then the
// remark when the log held no message with ID 23.
void writeSummary(OutputSink& console, const MessageCounts& messageCounts);

// Writes a remark line of the summary: a blank, the text, the line end.
void writeRemark(OutputSink& console, std::string_view text);

// Writes one line per file, "wrote PATH (N epochs)", or the remark that no
// file was written when there is none.
void writeFileList(OutputSink& console, std::span<const WrittenFile> files);

// Writes the line of one file: " wrote PATH (N epochs)".
void writeFileLine(OutputSink& console, const WrittenFile& file);

}  // namespace kapolex
