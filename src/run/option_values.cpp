#include "run/option_values.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "common/ascii.hpp"

namespace kapolex {

std::optional<std::int32_t> wholeNumber(std::string_view text, std::int32_t low,
                                        std::int32_t high) {
  if (text.starts_with('+')) text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // A minus sign, a digit beyond 64 bits or anything after the digits is
  // no whole number of the range.
  if (text.empty() || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

std::optional<double> decimalNumber(std::string_view text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    return at - start;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissaDigits = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  // strtod rounds correctly; the C locale's point is the program's own,
  // as it never sets a locale.
  const std::string copy(text);
  const double value = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Coordinates> threeNumbers(std::string_view text) {
  Coordinates values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::size_t comma = i + 1 < values.size() ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return std::nullopt;
    const std::optional<double> value = decimalNumber(text.substr(0, comma));
    if (!value) return std::nullopt;
    values[i] = *value;
    text.remove_prefix(comma == text.size() ? comma : comma + 1);
  }
  return values;
}

}  // namespace kapolex
