// The one way an observation-file line or the week prompt is produced: a
// layout applied to an ordered list of values, written straight into a sink.
// The layout and the kinds of the values are known while compiling, so the
// layout is walked then: the rules of the notation (values running out,
// reversion to the rightmost group, $) are applied once, every value is
// checked against its descriptor, and what is left for run time is a plan of
// line text with the literals, blanks and line ends in place, the columns of
// the numeric fields, and the places of the text values.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "common/output_sink.hpp"
#include "rinex/field_editing.hpp"
#include "rinex/layout.hpp"

namespace kapolex {

enum class ValueKind : std::uint8_t { text, integer, real };

// The kind of value a C++ type gives: text for anything that is a string
// view, an integer for the integer types (not bool or char), real for
// double; nothing else may be written.
template <class T>
inline constexpr std::optional<ValueKind> valueKindOf = [] {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::same_as<U, double>) {
    return std::optional<ValueKind>(ValueKind::real);
  } else if constexpr (std::integral<U> && !std::same_as<U, bool> && !std::same_as<U, char>) {
    return std::optional<ValueKind>(ValueKind::integer);
  } else if constexpr (std::is_convertible_v<const U&, std::string_view>) {
    return std::optional<ValueKind>(ValueKind::text);
  } else {
    return std::optional<ValueKind>();
  }
}();

inline constexpr std::size_t maxRecordValues = 24;
inline constexpr std::size_t maxPlannedSegments = maxRecordValues + 1;
inline constexpr std::size_t recordTextCapacity = 256;
// A segment's text is copied in whole blocks of this many bytes.
inline constexpr std::size_t planCopyBlock = 16;

struct PlannedField {
  DescriptorKind kind = DescriptorKind::integer;  // integer or fixed
  std::uint8_t value = 0;                         // which value it shows
  std::uint8_t column = 0;                        // from the segment's start
  std::uint8_t width = 0;
  std::uint8_t digits = 0;
};

// A run of the record's text with its numeric fields, written as one piece,
// followed by a text value (an A descriptor) when there is one.
struct PlannedSegment {
  std::uint16_t textStart = 0;
  std::uint16_t textLength = 0;
  std::uint8_t firstField = 0;
  std::uint8_t fieldCount = 0;
  std::int16_t textValue = -1;  // the text value written after the segment, or -1
};

struct RecordPlan {
  // Padded so that every segment can be copied in whole blocks.
  std::array<char, recordTextCapacity + planCopyBlock> text{};
  std::array<PlannedField, maxRecordValues> fields{};
  std::array<PlannedSegment, maxPlannedSegments> segments{};
  std::uint16_t textLength = 0;
  std::uint8_t fieldCount = 0;
  std::uint8_t segmentCount = 0;
  // Why the values do not make a record of the layout; nullptr when they do.
  const char* error = nullptr;
};

namespace record_planning {

class Planner {
 public:
  constexpr explicit Planner(const ValueKind* kinds) : kinds_(kinds) {
    plan_.segments[0] = PlannedSegment{};
    plan_.segmentCount = 1;
    plan_.text.fill(' ');
  }

  constexpr void literal(std::string_view text) {
    for (const char c : text) put(c);
  }

  constexpr void field(const Descriptor& descriptor, std::size_t index) {
    const ValueKind expected = descriptor.kind == DescriptorKind::text      ? ValueKind::text
                               : descriptor.kind == DescriptorKind::integer ? ValueKind::integer
                                                                            : ValueKind::real;
    if (kinds_[index] != expected) return fail("a value's kind does not match its descriptor");
    PlannedSegment& segment = plan_.segments[plan_.segmentCount - 1];
    if (descriptor.kind == DescriptorKind::text) {
      segment.textValue = static_cast<std::int16_t>(index);
      if (plan_.segmentCount == maxPlannedSegments) return fail("too many text values");
      plan_.segments[plan_.segmentCount++] = PlannedSegment{plan_.textLength, 0, plan_.fieldCount};
      return;
    }
    if (plan_.fieldCount == maxRecordValues) return fail("too many fields");
    plan_.fields[plan_.fieldCount++] = PlannedField{
        descriptor.kind, static_cast<std::uint8_t>(index),
        static_cast<std::uint8_t>(segment.textLength), descriptor.width, descriptor.digits};
    ++segment.fieldCount;
    for (int i = 0; i < descriptor.width; ++i) put(' ');
  }

  constexpr void endLine(bool lineEnd) {
    if (!lineEnd) return;
    put('\r');
    put('\n');
  }

  constexpr RecordPlan plan() const { return plan_; }
  constexpr void fail(const char* why) {
    if (plan_.error == nullptr) plan_.error = why;
  }

 private:
  constexpr void put(char c) {
    if (plan_.textLength == recordTextCapacity) return fail("the record is too long");
    PlannedSegment& segment = plan_.segments[plan_.segmentCount - 1];
    if (segment.textLength == 255) return fail("a segment is too long");
    plan_.text[plan_.textLength++] = c;
    ++segment.textLength;
  }

  const ValueKind* kinds_;
  RecordPlan plan_{};
};

// The walk over a layout for a record of valueCount values, the one place
// where the rules of the notation live. It tells the planner, in line order,
// each literal to write, each value's field, and each line end. The line
// ends once the values are used up, just before the next literal or value
// descriptor or at the layout's end; values left at the layout's end start a
// new line at the reversion point.
constexpr void walkLayout(const Layout& layout, std::size_t valueCount, Planner& planner) {
  std::size_t next = 0;       // the next value to take
  std::size_t passStart = 0;  // next when the current pass over the layout began
  bool lineEnd = true;
  int groupLeft = 0;  // passes left over the current group's body, this one included
  std::size_t index = 0;
  for (;;) {
    if (index == layout.descriptorCount) {
      if (next == valueCount) break;
      // A pass that took nothing would take nothing forever; layoutOf
      // refuses such layouts.
      if (next == passStart) return planner.fail("a layout pass takes no value");
      planner.endLine(lineEnd);
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
        if (next == valueCount) return planner.endLine(lineEnd);
        planner.literal(layout.literal(descriptor));
        ++index;
        break;
      case DescriptorKind::text:
      case DescriptorKind::integer:
      case DescriptorKind::fixed:
        for (int repeat = 0; repeat < descriptor.count; ++repeat) {
          if (next == valueCount) return planner.endLine(lineEnd);
          planner.field(descriptor, next++);
        }
        ++index;
        break;
    }
  }
  planner.endLine(lineEnd);
}

}  // namespace record_planning

// The plan of a record of the layout with values of these kinds, in order.
template <std::size_t count>
consteval RecordPlan planRecord(const Layout& layout, const std::array<ValueKind, count>& kinds) {
  if constexpr (count == 0) {
    RecordPlan plan;
    plan.error = "a record has at least one value";
    return plan;
  } else if constexpr (count > maxRecordValues) {
    RecordPlan plan;
    plan.error = "too many values";
    return plan;
  } else {
    record_planning::Planner planner(kinds.data());
    record_planning::walkLayout(layout, count, planner);
    return planner.plan();
  }
}

namespace record_planning {

template <class... Values>
inline constexpr bool knownKinds = (valueKindOf<Values>.has_value() && ...);

template <const Layout& layout, class... Values>
struct PlanOf {
  static constexpr RecordPlan plan =
      planRecord(layout, std::array<ValueKind, sizeof...(Values)>{*valueKindOf<Values>...});
};

}  // namespace record_planning

// Values of these types make a record of the layout: each is text, an
// integer or a double as its descriptor asks, and they fit the layout's
// lines.
template <const Layout& layout, class... Values>
concept RecordOf = record_planning::knownKinds<Values...> &&
                   record_planning::PlanOf<layout, Values...>::plan.error == nullptr;

namespace record_writing {

template <PlannedField field, class Value>
inline void editPlannedField(char* segment, const Value& value) {
  if constexpr (field.kind == DescriptorKind::integer) {
    editIntegerField<field.width, field.digits>(segment + field.column,
                                                static_cast<std::int64_t>(value));
  } else {
    editFixedField<field.width, field.digits>(segment + field.column, value);
  }
}

template <const RecordPlan& plan, std::size_t index, class Values>
inline void writeSegment(OutputSink& sink, const Values& values) {
  constexpr PlannedSegment segment = plan.segments[index];
  if constexpr (segment.textLength > 0) {
    // The whole text goes in with one copy of a size fixed while compiling,
    // straight into the sink's buffer when it has room for it; only the
    // segment's own length of it is kept.
    constexpr std::size_t copied =
        (segment.textLength + planCopyBlock - 1) / planCopyBlock * planCopyBlock;
    char local[copied];
    const bool direct = sink.capacity() >= copied;
    char* const text = direct ? sink.reserve(copied) : local;
    std::memcpy(text, plan.text.data() + segment.textStart, copied);
    [&]<std::size_t... field>(std::index_sequence<field...>) {
      (editPlannedField<plan.fields[segment.firstField + field]>(
           text, std::get<plan.fields[segment.firstField + field].value>(values)),
       ...);
    }
    (std::make_index_sequence<segment.fieldCount>{});
    if (direct) {
      sink.commit(segment.textLength);
    } else {
      sink.write(std::string_view(text, segment.textLength));
    }
  }
  if constexpr (segment.textValue >= 0) {
    sink.write(std::string_view(std::get<segment.textValue>(values)));
  }
}

}  // namespace record_writing

// Writes one record: the values edited in order into the layout's fields,
// literals between them, each line ended by CR LF unless a $ was met. Values
// that do not make a record of the layout do not compile.
template <const Layout& layout, class... Values>
requires RecordOf<layout, Values...>
inline void writeRecord(OutputSink& sink, const Values&... values) {
  static constexpr const RecordPlan& plan = record_planning::PlanOf<layout, Values...>::plan;
  const std::tuple<const Values&...> tied(values...);
  [&]<std::size_t... segment>(std::index_sequence<segment...>) {
    (record_writing::writeSegment<plan, segment>(sink, tied), ...);
  }
  (std::make_index_sequence<plan.segmentCount>{});
}

}  // namespace kapolex
