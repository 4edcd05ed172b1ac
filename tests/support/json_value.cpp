#include "support/json_value.hpp"

#include <cctype>
#include <stdexcept>

namespace kapolex::testing {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  JsonValue document() {
    JsonValue value = parseValue();
    skipSpace();
    if (at_ != text_.size()) fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(at_));
  }
  void skipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t')) {
      ++at_;
    }
  }
  bool take(char c) {
    skipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) fail(std::string("expected '") + c + "'");
  }
  bool takeWord(const std::string& word) {
    if (text_.compare(at_, word.size(), word) != 0) return false;
    at_ += word.size();
    return true;
  }
  bool digitAt(std::size_t i) const {
    return i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i]));
  }
  void digits() {
    if (!digitAt(at_)) fail("expected a digit");
    while (digitAt(at_)) ++at_;
  }

  JsonValue parseValue() {
    skipSpace();
    if (at_ >= text_.size()) fail("unexpected end");
    JsonValue v;
    const char c = text_[at_];
    if (c == '{') return parseObject();
    if (c == '[') return parseArray();
    if (c == '"') {
      v.kind = JsonValue::Kind::string;
      v.text = parseString();
    } else if (takeWord("true") || takeWord("false")) {
      v.kind = JsonValue::Kind::boolean;
      v.text = c == 't' ? "true" : "false";
    } else if (takeWord("null")) {
      v.kind = JsonValue::Kind::null;
    } else {
      v.kind = JsonValue::Kind::number;
      v.text = parseNumber();
    }
    return v;
  }

  std::string parseNumber() {
    const std::size_t start = at_;
    if (text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else {
      digits();
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      digits();
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      digits();
    }
    return text_.substr(start, at_ - start);
  }

  // Strings without escapes: the reports write none, and a test that meets
  // one should know.
  std::string parseString() {
    ++at_;
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] != '"') {
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '\\' || c < 0x20) fail("escape or control character in a string");
      ++at_;
    }
    if (at_ >= text_.size()) fail("unterminated string");
    return text_.substr(start, at_++ - start);
  }

  JsonValue parseArray() {
    JsonValue v;
    v.kind = JsonValue::Kind::array;
    expect('[');
    if (take(']')) return v;
    do {
      v.elements.push_back(parseValue());
    } while (take(','));
    expect(']');
    return v;
  }

  JsonValue parseObject() {
    JsonValue v;
    v.kind = JsonValue::Kind::object;
    expect('{');
    if (take('}')) return v;
    do {
      skipSpace();
      if (at_ >= text_.size() || text_[at_] != '"') fail("expected a member name");
      const std::string name = parseString();
      expect(':');
      if (!v.members.emplace(name, parseValue()).second) fail("repeated member " + name);
    } while (take(','));
    expect('}');
    return v;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  const auto found = members.find(name);
  if (kind != Kind::object || found == members.end()) {
    throw std::runtime_error("JSON: no member " + name);
  }
  return found->second;
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
  if (kind != Kind::array || index >= elements.size()) {
    throw std::runtime_error("JSON: no element " + std::to_string(index));
  }
  return elements[index];
}

JsonValue parseJson(const std::string& text) {
  return Parser(text).document();
}

}  // namespace kapolex::testing
