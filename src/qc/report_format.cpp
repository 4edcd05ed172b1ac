#include "qc/report_format.hpp"

#include <array>

#include "compat/decimal_chars.hpp"
#include "qc/timeline.hpp"

namespace kapolex {

namespace {

// Room for any finite double in fixed notation with the decimals the reports
// ask for: the largest has 309 digits before the point, and the shortest
// form of the smallest subnormal has 323 zeros after it before its 16
// digits. A damaged log can hold any of them as a receive time.
constexpr std::size_t fixedTextCapacity = 400;

}  // namespace

std::string shortestDecimal(double value) {
  std::array<char, fixedTextCapacity> text{};
  const auto end = fixedChars(text.data(), text.data() + text.size(), value).ptr;
  return {text.data(), end};
}

std::string fixedDecimal(double value, int decimals) {
  std::array<char, fixedTextCapacity> text{};
  const auto end = fixedChars(text.data(), text.data() + text.size(), value, decimals).ptr;
  return {text.data(), end};
}

std::string exactSeconds(std::int64_t nanos) {
  const bool negative = nanos < 0;
  // Magnitudes in unsigned arithmetic, so that the most negative value works too.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(nanos) : static_cast<std::uint64_t>(nanos);
  const auto perSecond = static_cast<std::uint64_t>(nanosPerSecond);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / perSecond);
  std::uint64_t fraction = magnitude % perSecond;
  if (fraction == 0) return text;
  std::string digits(9, '0');
  for (std::size_t i = 9; i-- > 0; fraction /= 10)
    digits[i] = static_cast<char>('0' + fraction % 10);
  digits.erase(digits.find_last_not_of('0') + 1);
  text += '.';
  text += digits;
  return text;
}

std::string gpsTimeText(const GpsTime& time) {
  return joined(std::to_string(time.week), "/", shortestDecimal(time.secondsOfWeek));
}

std::string twoDigits(std::int32_t value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? joined("0", text) : text;
}

std::string calendarDateText(const EpochTime& time) {
  return joined(std::to_string(time.year), "-", twoDigits(time.month), "-", twoDigits(time.day));
}

std::string calendarText(const EpochTime& time) {
  std::string second = fixedDecimal(time.second, 7);
  if (second.size() < 10) second = joined("0", second);
  return joined(calendarDateText(time), " ", twoDigits(time.hour), ":", twoDigits(time.minute), ":",
                second);
}

}  // namespace kapolex
