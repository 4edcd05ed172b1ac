#include "measure/calendar.hpp"

#include <cmath>
#include <cstdint>

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

EpochTime calendarTimeOfWeekSeconds(std::int32_t week, double secondsOfWeek) {
  // 7 * week in 64 bits: the operator's week has no upper bound.
  const double weekStartDays = toDouble(std::int64_t{7} * week);
  const std::int32_t mjd =
      integerPart((secondsOfWeek * perSecondOfDay + weekStartDays) + double{gpsEpochMjd});
  return calendarTimeOfMjd(mjd, dayFraction(secondsOfWeek));
}

EpochTime calendarTimeOfMjd(std::int32_t mjd, double fraction) {
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

}  // namespace kapolex
