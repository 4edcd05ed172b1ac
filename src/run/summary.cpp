#include "run/summary.hpp"

#include <charconv>
#include <cstring>

#include "common/message_header.hpp"
#include "run/fixed_names.hpp"

namespace kapolex {

namespace {

constexpr int summaryFieldWidth = 12;
constexpr std::string_view lineEnd = "\r\n";

// Right-aligns a count in its 12 columns; a count too long for them widens
// the field rather than losing digits.
void writeCountField(OutputSink& console, std::int64_t value) {
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(end - digits);
  for (int pad = length; pad < summaryFieldWidth; ++pad) console.write(" ");
  console.write(std::string_view(digits, static_cast<std::size_t>(length)));
}

}  // namespace

void writeSummary(OutputSink& console, const MessageCounts& messageCounts) {
  for (int id = 0; id < messageIdCount; ++id) {
    const std::int64_t count = messageCounts[id];
    if (count <= 0) continue;
    console.write(" ");
    console.write(summaryIdLabel);
    writeCountField(console, id);
    console.write(" ");
    console.write(summaryCountLabel);
    writeCountField(console, count);
    console.write(lineEnd);
  }
  if (messageCounts[measurementMessageId] == 0) {
    console.write(" ");
    console.write(noMeasurementRemark);
    console.write(lineEnd);
  }
}

}  // namespace kapolex
