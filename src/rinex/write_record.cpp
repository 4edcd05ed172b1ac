// The layout walk. Without positioning descriptors a line is the plain
// concatenation of its fields and literals, so each piece goes to the sink as
// soon as it is edited and no line is assembled anywhere else.
#include "rinex/write_record.hpp"

#include <cstddef>
#include <cstring>

#include "rinex/field_editing.hpp"

namespace kapolex {

namespace {

void writeField(OutputSink& sink, const Descriptor& descriptor, const FieldValue& value) {
  if (descriptor.kind == DescriptorKind::text) {
    if (value.kind == ValueKind::text) writeOutput(sink, value.text);
    return;
  }
  const std::size_t width = descriptor.width;
  char* const field = reserveOutput(sink, width);
  if (descriptor.kind == DescriptorKind::integer && value.kind == ValueKind::integer) {
    editInteger({field, width}, descriptor.digits, value.integer);
  } else if (descriptor.kind == DescriptorKind::fixed && value.kind == ValueKind::real) {
    editFixed({field, width}, descriptor.digits, value.real);
  } else {
    std::memset(field, '*', width);
  }
  commitOutput(sink, width);
}

void endLine(OutputSink& sink, bool lineEnd) {
  if (!lineEnd) return;
  char* const end = reserveOutput(sink, 2);
  end[0] = '\r';
  end[1] = '\n';
  commitOutput(sink, 2);
}

}  // namespace

void writeRecord(OutputSink& sink, const Layout& layout, std::span<const FieldValue> values) {
  std::size_t next = 0;       // the next value to take
  std::size_t passStart = 0;  // next when the current pass over the layout began
  bool lineEnd = true;
  int groupLeft = 0;  // passes left over the current group's body, this one included
  std::size_t index = 0;
  for (;;) {
    if (index == layout.descriptorCount) {
      // A pass that took nothing would take nothing forever; only a layout
      // that was not parsed can do that.
      if (next == values.size() || next == passStart) break;
      endLine(sink, lineEnd);
      lineEnd = true;
      passStart = next;
      index = layout.reversion;
      continue;
    }
    const Descriptor& descriptor = layout.descriptors[index];
    switch (descriptor.kind) {
      case DescriptorKind::groupOpen:
        groupLeft = descriptor.count;
        ++index;
        break;
      case DescriptorKind::groupClose:
        index = --groupLeft > 0 ? descriptor.partner + std::size_t{1} : index + 1;
        break;
      case DescriptorKind::noLineEnd:
        lineEnd = false;
        ++index;
        break;
      case DescriptorKind::literal:
        if (next == values.size()) {
          endLine(sink, lineEnd);
          return;
        }
        writeOutput(sink, layout.literal(descriptor));
        ++index;
        break;
      case DescriptorKind::text:
      case DescriptorKind::integer:
      case DescriptorKind::fixed:
        for (int repeat = 0; repeat < descriptor.count; ++repeat) {
          if (next == values.size()) {
            endLine(sink, lineEnd);
            return;
          }
          writeField(sink, descriptor, values[next++]);
        }
        ++index;
        break;
    }
  }
  endLine(sink, lineEnd);
}

}  // namespace kapolex
