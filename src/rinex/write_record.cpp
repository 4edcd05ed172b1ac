// Records written by walking their layout, and lines written by plan.
// Without positioning descriptors a line is the plain concatenation of its
// fields and literals, so a walked record's pieces go to the sink as soon as
// they are edited, and a planned line is copied in whole and its fields
// edited in place.
#include "rinex/write_record.hpp"

#include <cstddef>
#include <cstring>

#include "rinex/field_editing.hpp"

namespace kapolex {

namespace {

void writeField(OutputSink& sink, const Descriptor& descriptor, const FieldValue& value) {
  if (descriptor.kind == DescriptorKind::text) {
    if (value.kind == ValueKind::text) sink.write(value.text);
    return;
  }
  const std::size_t width = descriptor.width;
  char* const field = sink.reserve(width);
  if (descriptor.kind == DescriptorKind::integer && value.kind == ValueKind::integer) {
    editInteger({field, width}, descriptor.digits, value.integer);
  } else if (descriptor.kind == DescriptorKind::fixed && value.kind == ValueKind::real) {
    editFixed({field, width}, descriptor.digits, value.real);
  } else {
    std::memset(field, '*', width);
  }
  sink.commit(width);
}

void writeLineEnd(OutputSink& sink, bool lineEnd) {
  if (!lineEnd) return;
  char* const end = sink.reserve(2);
  end[0] = '\r';
  end[1] = '\n';
  sink.commit(2);
}

struct SinkWriter {
  OutputSink& sink;
  std::span<const FieldValue> values;

  void literal(std::string_view text) { sink.write(text); }
  void field(const Descriptor& descriptor, std::size_t index) {
    writeField(sink, descriptor, values[index]);
  }
  void endLine(bool lineEnd) { writeLineEnd(sink, lineEnd); }
};

}  // namespace

void writeRecord(OutputSink& sink, const Layout& layout, std::span<const FieldValue> values) {
  SinkWriter writer{sink, values};
  walkLayout(layout, values.size(), writer);
}

}  // namespace kapolex
