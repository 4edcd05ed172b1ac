// A strict reader of JSON text for the tests: it rejects anything RFC 8259
// does not allow and keeps each number as the digits it was written with, so
// that a test can compare them with the text report's.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kapolex::testing {

struct JsonValue {
  enum class Kind { null, boolean, number, string, array, object };
  Kind kind = Kind::null;
  std::string text;  // a number's digits, a string's content, "true" or "false"
  std::vector<JsonValue> elements;
  std::map<std::string, JsonValue> members;

  // The member or element; throws when it is missing.
  const JsonValue& operator[](const std::string& name) const;
  const JsonValue& operator[](std::size_t index) const;
};

// Reads one JSON value that fills the text but for white space; throws
// std::runtime_error with the offset of the first error.
JsonValue parseJson(const std::string& text);

}  // namespace kapolex::testing
