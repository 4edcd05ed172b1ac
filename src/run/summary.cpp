#include "run/summary.hpp"

#include <charconv>
#include <cstring>

#include "receiver_log/message_header.hpp"
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
  if (messageCounts[measurementMessageId] == 0) writeRemark(console, noMeasurementRemark);
}

void writeRemark(OutputSink& console, std::string_view text) {
  console.write(" ");
  console.write(text);
  console.write(lineEnd);
}

void writeFileList(OutputSink& console, std::span<const WrittenFile> files) {
  if (files.empty()) writeRemark(console, noNamedFileRemark);
  for (const WrittenFile& file : files) writeFileLine(console, file);
}

void writeFileLine(OutputSink& console, const WrittenFile& file) {
  console.write(" ");
  console.write(writtenFileLabel);
  console.write(file.path);
  console.write(" (");
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, file.epochs).ptr;
  console.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
  console.write(file.epochs == 1 ? epochLabel : epochsLabel);
  console.write(")");
  console.write(lineEnd);
}

}  // namespace kapolex
