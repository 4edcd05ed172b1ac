#include "measure/calendar.hpp"

#include <cmath>
#include <cstdint>

#include "common/ascii.hpp"
#include "common/numeric.hpp"

namespace kapolex {

namespace {

// Results outside 32 bits come only from a date millions of years away; the
// modular narrowing keeps such garbage defined.
std::int32_t narrow(std::int64_t value) {
  return static_cast<std::int32_t>(value);
}

double toDouble(std::int64_t value) {
  return static_cast<double>(value);
}

// The exact remainder of seconds after truncated division by a day.
double secondsOfDay(double seconds) {
  // The remainder is exact, and so is s less a whole number of days for
  // 0 <= s < 2^52: both are multiples of the last place of s, and so is
  // their difference, which is smaller than two days and thus representable.
  // The quotient may be one off and is corrected; the library's remainder
  // costs several times as much.
  if (seconds >= 0.0 && seconds < 0x1p52) {
    const double days = static_cast<double>(static_cast<std::int64_t>(seconds / secondsPerDay));
    double remainder = seconds - days * secondsPerDay;
    if (remainder < 0.0) {
      remainder = remainder + secondsPerDay;
    } else if (remainder >= secondsPerDay) {
      remainder = remainder - secondsPerDay;
    }
    return remainder;
  }
  return std::fmod(seconds, secondsPerDay);
}

}  // namespace

double dayFraction(double seconds) {
  return secondsOfDay(seconds) * perSecondOfDay;
}

TimeOfDay timeOfDay(double fraction) {
  TimeOfDay time;
  const double hours = fraction * 24.0;
  time.hour = integerPart(hours);
  const double minutes = (hours - time.hour) * 60.0;
  time.minute = integerPart(minutes);
  time.second = (minutes - time.minute) * 60.0;
  return time;
}

EpochTime SOWCIV(std::int32_t week, double secondsOfWeek) {
  // 7 * week in 64 bits: the operator's week has no upper bound.
  const double weekStartDays = toDouble(std::int64_t{7} * week);
  const std::int32_t mjd =
      integerPart((secondsOfWeek * perSecondOfDay + weekStartDays) + double{gpsEpochMjd});
  return MJDCIV(mjd, dayFraction(secondsOfWeek));
}

EpochTime MJDCIV(std::int32_t mjd, double fraction) {
  // Julian day number, then a March-based year so that the leap day closes
  // the year and the month lengths follow 30.6001 days per month. Counting
  // 365.25 days a year, this is the civil calendar from 1900-03-01 up to
  // 2100-02-28; 2100, not a leap year, would get a February 29. The
  // intermediates are 64-bit so that no MJD can overflow them; for any real
  // date they hold the same values as 32-bit arithmetic would.
  const std::int64_t julianDay = integerPart((mjd + fraction) + 2400001.0);
  const std::int64_t b = julianDay + 1537;
  const std::int64_t q = integerPart(toDouble(b) * perDayOfYear - yearStartOffset);
  const std::int64_t d = integerPart(toDouble(q) * 365.25);
  const std::int64_t e = integerPart(toDouble(b - d) * perDayOfMonth);
  const std::int64_t monthStart = integerPart(toDouble(e) * 30.6001);

  EpochTime time;
  time.day = integerPart(toDouble(b - d - monthStart) + fraction);
  time.month = narrow(e - 1 - 12 * std::int64_t{integerPart(toDouble(e) * perFourteen)});
  time.year = narrow(q - integerPart(toDouble(std::int64_t{time.month} + 7) * perTen) - 4715);
  const TimeOfDay clock = timeOfDay(fraction);
  time.hour = clock.hour;
  time.minute = clock.minute;
  time.second = clock.second;
  return time;
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
