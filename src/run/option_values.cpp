#include "run/option_values.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

#include "common/ascii.hpp"
#include "common/civil_date.hpp"
#include "common/gps_constants.hpp"

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

namespace {

// The digits of text from at, length of them, as a number; nothing if any
// is not a digit.
std::optional<std::int32_t> digitField(std::string_view text, std::size_t at, std::size_t length) {
  std::int32_t value = 0;
  for (const char c : text.substr(at, length)) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

constexpr std::size_t dateLength = 10;  // YYYY-MM-DD

// The days from the GPS epoch to a date given as YYYY-MM-DD at the start of
// text, or nothing when it is no such date or lies before the GPS epoch.
std::optional<std::int32_t> gpsDayOfDate(std::string_view text) {
  if (text.size() < dateLength || text[4] != '-' || text[7] != '-') return std::nullopt;
  const auto year = digitField(text, 0, 4), month = digitField(text, 5, 2),
             day = digitField(text, 8, 2);
  if (!year || !month || !day || !isCivilDate(*year, *month, *day)) return std::nullopt;
  const std::int32_t days = mjdOfDate(*year, *month, *day) - gpsEpochMjd;
  if (days < 0) return std::nullopt;
  return days;
}

}  // namespace

std::optional<std::int32_t> gpsWeekOfDate(std::string_view date) {
  if (date.size() != dateLength) return std::nullopt;
  const std::optional<std::int32_t> days = gpsDayOfDate(date);
  if (!days) return std::nullopt;
  return *days / 7;
}

std::optional<std::int64_t> gpsSecondOfDateTime(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SS: nineteen characters, the separators in their places.
  constexpr std::size_t length = 19;
  if (text.size() != length || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const std::optional<std::int32_t> days = gpsDayOfDate(text);
  const auto hour = digitField(text, 11, 2), minute = digitField(text, 14, 2),
             second = digitField(text, 17, 2);
  if (!days || !hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  return std::int64_t{*days} * wholeSecondsPerDay + *hour * wholeSecondsPerHour +
         *minute * wholeSecondsPerMinute + *second;
}

}  // namespace kapolex
