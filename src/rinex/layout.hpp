// Line layouts in the descriptor notation that the RINEX documents use for
// their records, so that a layout reads like the record description it
// implements. A layout is parsed while compiling into a fixed table; an
// invalid layout text does not build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/ascii.hpp"
#include "rinex/field_editing.hpp"

namespace kapolex {

enum class DescriptorKind : std::uint8_t {
  text,        // A: a text value, as long as the text
  integer,     // Iw and Iw.m
  fixed,       // Fw.d
  literal,     // 'text'
  noLineEnd,   // $
  groupOpen,   // n(
  groupClose,  // )
};

struct Descriptor {
  DescriptorKind kind = DescriptorKind::literal;
  std::uint8_t count = 1;    // repeats of a value descriptor, or of a group body
  std::uint8_t width = 0;    // w of I and F
  std::uint8_t digits = 0;   // m of I, d of F
  std::uint8_t partner = 0;  // a group parenthesis's counterpart
  std::uint8_t literalStart = 0;
  std::uint8_t literalLength = 0;
};

inline constexpr std::size_t maxLayoutDescriptors = 32;
inline constexpr std::size_t maxLayoutLiteralChars = 64;
inline constexpr int maxRepeatCount = 255;

// A parsed layout; built only by layoutOf, which guarantees that walking it
// always ends: the part that a line starts again from when
// values remain holds at least one value-taking descriptor.
struct Layout {
  std::array<Descriptor, maxLayoutDescriptors> descriptors{};
  std::array<char, maxLayoutLiteralChars> literalChars{};
  std::uint8_t descriptorCount = 0;
  std::uint8_t literalCharCount = 0;
  // Where the walk resumes on a new line when values remain at the layout's
  // end: the rightmost top-level group, or the start.
  std::uint8_t reversion = 0;

  // The text of a literal descriptor of this layout.
  constexpr std::string_view literal(const Descriptor& descriptor) const {
    return {literalChars.data() + descriptor.literalStart, descriptor.literalLength};
  }
};

namespace layout_parsing {

class Parser {
 public:
  constexpr explicit Parser(std::string_view text) : text_(text) {}

  constexpr std::optional<Layout> parse() {
    if (!accept('(') || !list(false) || !accept(')') || pos_ != text_.size()) return {};
    if (!valueFrom(layout_.reversion)) return {};
    return layout_;
  }

 private:
  constexpr bool accept(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  constexpr std::optional<int> number(int low, int high) {
    if (pos_ >= text_.size() || !isDigit(text_[pos_])) return {};
    int value = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > high) return {};
    }
    if (value < low) return {};
    return value;
  }

  constexpr bool add(const Descriptor& descriptor) {
    if (layout_.descriptorCount == maxLayoutDescriptors) return false;
    layout_.descriptors[layout_.descriptorCount++] = descriptor;
    return true;
  }

  constexpr bool list(bool inGroup) {
    do {
      if (!item(inGroup)) return false;
    } while (accept(','));
    return true;
  }

  constexpr bool item(bool inGroup) {
    int count = 1;
    const bool counted = pos_ < text_.size() && isDigit(text_[pos_]);
    if (counted) {
      const std::optional<int> repeat = number(1, maxRepeatCount);
      if (!repeat) return false;
      count = *repeat;
    }
    if (pos_ >= text_.size()) return false;
    Descriptor descriptor;
    descriptor.count = static_cast<std::uint8_t>(count);
    switch (text_[pos_++]) {
      case '(':
        return !inGroup && group(descriptor);
      case '\'':
        return !counted && literal();
      case '$':
        descriptor.kind = DescriptorKind::noLineEnd;
        return !counted && add(descriptor);
      case 'A':
        descriptor.kind = DescriptorKind::text;
        return add(descriptor);
      case 'I': {
        descriptor.kind = DescriptorKind::integer;
        const std::optional<int> width = number(1, maxFieldWidth);
        if (!width) return false;
        std::optional<int> minDigits = 1;
        if (accept('.')) minDigits = number(1, *width);
        if (!minDigits) return false;
        descriptor.width = static_cast<std::uint8_t>(*width);
        descriptor.digits = static_cast<std::uint8_t>(*minDigits);
        return add(descriptor);
      }
      case 'F': {
        descriptor.kind = DescriptorKind::fixed;
        const std::optional<int> width = number(1, maxFieldWidth);
        if (!width || !accept('.')) return false;
        // A field without room for its point and decimals could only ever
        // show asterisks.
        const std::optional<int> decimals =
            number(0, *width - 1 < maxFixedDecimals ? *width - 1 : maxFixedDecimals);
        if (!decimals) return false;
        descriptor.width = static_cast<std::uint8_t>(*width);
        descriptor.digits = static_cast<std::uint8_t>(*decimals);
        return add(descriptor);
      }
      default:
        return false;
    }
  }

  constexpr bool group(Descriptor open) {
    const std::uint8_t openIndex = layout_.descriptorCount;
    open.kind = DescriptorKind::groupOpen;
    if (!add(open) || !list(true) || !accept(')')) return false;
    Descriptor close;
    close.kind = DescriptorKind::groupClose;
    close.partner = openIndex;
    layout_.descriptors[openIndex].partner = layout_.descriptorCount;
    layout_.reversion = openIndex;
    return add(close);
  }

  // 'text', with '' standing for one apostrophe; an empty literal is refused.
  constexpr bool literal() {
    Descriptor descriptor;
    descriptor.kind = DescriptorKind::literal;
    descriptor.literalStart = layout_.literalCharCount;
    for (;;) {
      if (pos_ >= text_.size()) return false;
      const char c = text_[pos_++];
      if (c == '\'' && !accept('\'')) break;
      if (layout_.literalCharCount == maxLayoutLiteralChars) return false;
      layout_.literalChars[layout_.literalCharCount++] = c;
    }
    descriptor.literalLength =
        static_cast<std::uint8_t>(layout_.literalCharCount - descriptor.literalStart);
    return descriptor.literalLength > 0 && add(descriptor);
  }

  constexpr bool valueFrom(std::size_t start) const {
    for (std::size_t i = start; i < layout_.descriptorCount; ++i) {
      const DescriptorKind kind = layout_.descriptors[i].kind;
      if (kind == DescriptorKind::text || kind == DescriptorKind::integer ||
          kind == DescriptorKind::fixed) {
        return true;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Layout layout_{};
};

}  // namespace layout_parsing

// Whether a layout text is a layout of the notation (A, Iw, Iw.m, Fw.d,
// 'text', $, repeat counts, one level of n(...) groups, widths up to
// maxFieldWidth) that can always finish a record.
consteval bool isLayout(std::string_view text) {
  return layout_parsing::Parser(text).parse().has_value();
}

// Parses a layout text while compiling; an invalid text fails to compile.
consteval Layout layoutOf(std::string_view text) {
  const std::optional<Layout> layout = layout_parsing::Parser(text).parse();
  if (!layout) throw "invalid layout text";
  return *layout;
}

}  // namespace kapolex
