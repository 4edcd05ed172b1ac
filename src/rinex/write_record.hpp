// The one way an observation-file line or the week prompt is produced: a
// layout applied to an ordered list of values, written straight into a sink.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "common/output_sink.hpp"
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

}  // namespace kapolex
