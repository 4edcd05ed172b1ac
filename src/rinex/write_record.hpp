// The one way an observation-file line or the week prompt is produced: a
// layout applied to an ordered list of values, written straight into a sink.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "common/output_sink.hpp"
#include "rinex/field_editing.hpp"
#include "rinex/layout.hpp"

namespace kapolex {

enum class ValueKind : std::uint8_t { text, integer, real };

// One value of a record. A text value only refers to its characters, which
// must outlive the writeRecord call.
struct FieldValue {
  ValueKind kind = ValueKind::integer;
  std::string_view text;
  std::int64_t integer = 0;
  double real = 0.0;

  // A text value for an A descriptor; trailing blanks are part of it.
  static constexpr FieldValue textValue(std::string_view value) {
    return {ValueKind::text, value, 0, 0.0};
  }
  // An integer value for an I descriptor.
  static constexpr FieldValue integerValue(std::int64_t value) {
    return {ValueKind::integer, {}, value, 0.0};
  }
  // A real value for an F descriptor.
  static constexpr FieldValue realValue(double value) { return {ValueKind::real, {}, 0, value}; }
};

// The same factories without the qualification, for short call sites.
constexpr FieldValue textValue(std::string_view value) {
  return FieldValue::textValue(value);
}
constexpr FieldValue integerValue(std::int64_t value) {
  return FieldValue::integerValue(value);
}
constexpr FieldValue realValue(double value) {
  return FieldValue::realValue(value);
}

// Writes one record: the values edited in order into the layout's fields,
// literals between them. The line ends (CR LF unless a $ was met) once the
// values are used up, just before the next literal or value descriptor or at
// the layout's end; values left at the layout's end go on further lines from
// the rightmost top-level group. A descriptor given a value of another kind
// writes asterisks (I, F) or nothing (A).
void writeRecord(OutputSink& sink, const Layout& layout, std::span<const FieldValue> values);

// The walk over a layout for a record of valueCount values, the one place
// where the descriptor rules live. It tells the visitor, in line order:
//   visitor.literal(text)          a literal to write
//   visitor.field(descriptor, i)   the field of value i
//   visitor.endLine(lineEnd)       the line ends, with CR LF if lineEnd
// Values left at the layout's end start a new line at the reversion point.
template <class Visitor>
constexpr void walkLayout(const Layout& layout, std::size_t valueCount, Visitor& visitor) {
  std::size_t next = 0;       // the next value to take
  std::size_t passStart = 0;  // next when the current pass over the layout began
  bool lineEnd = true;
  int groupLeft = 0;  // passes left over the current group's body, this one included
  std::size_t index = 0;
  for (;;) {
    if (index == layout.descriptorCount) {
      // A pass that took nothing would take nothing forever; only a layout
      // that was not parsed can do that.
      if (next == valueCount || next == passStart) break;
      visitor.endLine(lineEnd);
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
        if (next == valueCount) {
          visitor.endLine(lineEnd);
          return;
        }
        visitor.literal(layout.literal(descriptor));
        ++index;
        break;
      case DescriptorKind::text:
      case DescriptorKind::integer:
      case DescriptorKind::fixed:
        for (int repeat = 0; repeat < descriptor.count; ++repeat) {
          if (next == valueCount) {
            visitor.endLine(lineEnd);
            return;
          }
          visitor.field(descriptor, next++);
        }
        ++index;
        break;
    }
  }
  visitor.endLine(lineEnd);
}

// A layout walked ahead of time for records of one fixed number of values
// that make a single line of I and F fields and literals: the line's text
// with its literals, blanks and line end in place, and each value's column.
// The lines that are written by the million use these.
inline constexpr std::size_t linePlanCapacity = 96;  // columns and line end
inline constexpr std::size_t maxPlannedFields = 24;

struct PlannedField {
  DescriptorKind kind = DescriptorKind::integer;
  std::uint8_t column = 0;  // from 0
  std::uint8_t width = 0;
  std::uint8_t digits = 0;
};

struct LinePlan {
  std::array<char, linePlanCapacity> text{};
  std::uint8_t length = 0;  // bytes written, the line end included
  std::uint8_t fieldCount = 0;
  std::array<PlannedField, maxPlannedFields> fields{};
};

namespace line_planning {

struct Planner {
  LinePlan plan{};
  std::size_t column = 0;
  bool ended = false;

  constexpr void put(char c) {
    if (ended || column >= linePlanCapacity) throw "a planned record must be one short line";
    plan.text[column++] = c;
  }
  constexpr void literal(std::string_view text) {
    for (const char c : text) put(c);
  }
  constexpr void field(const Descriptor& descriptor, std::size_t) {
    if (descriptor.kind == DescriptorKind::text || plan.fieldCount == maxPlannedFields) {
      throw "a planned record has only I and F fields";
    }
    plan.fields[plan.fieldCount++] = PlannedField{
        descriptor.kind, static_cast<std::uint8_t>(column), descriptor.width, descriptor.digits};
    for (int i = 0; i < descriptor.width; ++i) put(' ');
  }
  constexpr void endLine(bool lineEnd) {
    if (lineEnd) {
      put('\r');
      put('\n');
    }
    plan.length = static_cast<std::uint8_t>(column);
    ended = true;
  }
};

}  // namespace line_planning

// The plan of layout for records of valueCount values; a record that would
// not be one line of I and F fields within the capacity does not compile
// where the plan initialises a constant.
constexpr LinePlan planLine(const Layout& layout, std::size_t valueCount) {
  line_planning::Planner planner;
  walkLayout(layout, valueCount, planner);
  for (char& c : planner.plan.text) {
    if (c == '\0') c = ' ';
  }
  return planner.plan;
}

namespace line_planning {

template <PlannedField field>
inline void editPlannedField(char* line, const FieldValue& value) {
  char* const columns = line + field.column;
  if constexpr (field.kind == DescriptorKind::integer) {
    if (value.kind == ValueKind::integer) {
      editIntegerField<field.width, field.digits>(columns, value.integer);
      return;
    }
  } else if constexpr (field.kind == DescriptorKind::fixed) {
    if (value.kind == ValueKind::real) {
      editFixedField<field.width, field.digits>(columns, value.real);
      return;
    }
  }
  std::memset(columns, '*', field.width);
}

}  // namespace line_planning

// Writes one record by its plan: the same bytes as writeRecord with the
// plan's layout and these values, of which there must be the plan's count.
// The plan is a template argument, so that every field is edited by code
// made for its width and decimals.
template <LinePlan plan>
void writePlannedLine(OutputSink& sink, std::span<const FieldValue> values) {
  assert(values.size() == plan.fieldCount);
  // The whole template goes in with one copy of a size fixed while
  // compiling, straight into the sink's buffer when it has room for it; only
  // the plan's length of it is kept.
  constexpr std::size_t copied = (plan.length + 15) / 16 * 16;
  static_assert(copied <= linePlanCapacity);
  char local[copied];
  const bool direct = sink.capacity() >= copied;
  char* const line = direct ? sink.reserve(copied) : local;
  std::memcpy(line, plan.text.data(), copied);
  [&]<std::size_t... field>(std::index_sequence<field...>) {
    (line_planning::editPlannedField<plan.fields[field]>(line, values[field]), ...);
  }
  (std::make_index_sequence<plan.fieldCount>{});
  if (direct) {
    sink.commit(plan.length);
  } else {
    sink.write(std::string_view(line, plan.length));
  }
}

}  // namespace kapolex
