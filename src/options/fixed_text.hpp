// Texts put together while compiling, numbers included, so that a help text
// or a hint that states a constant ("1 to 3600", "(60)") is made from the
// constant and can never disagree with it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kapolex::options {

// A text of size characters, kept in the object itself.
template <std::size_t size>
struct FixedText {
  char characters[size + 1] = {};  // and a zero, so that a text of none is an array too

  constexpr FixedText() = default;
  constexpr FixedText(const char (&text)[size + 1]) {  // NOLINT: from a literal, implicitly
    std::copy_n(text, size, characters);
  }

  constexpr std::string_view view() const { return {characters, size}; }
};

template <std::size_t withZero>
FixedText(const char (&)[withZero]) -> FixedText<withZero - 1>;

// The decimal digits of a number that is not negative.
template <auto number>
constexpr auto decimalText() {
  static_assert(number >= 0, "a negative number has no digits alone");
  constexpr std::size_t digits = [] {
    std::size_t count = 1;
    for (auto rest = number; rest >= 10; rest /= 10) ++count;
    return count;
  }();
  FixedText<digits> text;
  auto rest = number;
  for (std::size_t at = digits; at-- > 0; rest /= 10) {
    text.characters[at] = static_cast<char>('0' + rest % 10);
  }
  return text;
}

template <std::size_t... sizes>
constexpr FixedText<(0 + ... + sizes)> joinFixedTexts(const FixedText<sizes>&... texts) {
  FixedText<(0 + ... + sizes)> joined;
  char* at = joined.characters;
  ((at = std::copy_n(texts.characters, sizes, at)), ...);
  return joined;
}

// The parts, string literals or fixed texts, one after the other.
template <typename... Parts>
constexpr auto joinText(const Parts&... parts) {
  return joinFixedTexts(FixedText(parts)...);
}

}  // namespace kapolex::options
