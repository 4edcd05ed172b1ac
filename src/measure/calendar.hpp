// GPS time to calendar date and time of day. The steps and their rounding are
// fixed: the epoch lines' digits, down to the seventh decimal of the second,
// depend on them, so every reciprocal is a stored constant that is multiplied
// and every integer part is a truncation toward zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/epoch_time.hpp"
#include "common/gps_constants.hpp"

namespace kapolex {

constexpr double perSecondOfDay = 1.1574074074074073e-05;  // 1/86400
constexpr double perDayOfYear = 0.0027378507871321013;     // 1/365.25
constexpr double yearStartOffset = 0.33429158110882956;    // 122.1/365.25
constexpr double perDayOfMonth = 0.03267963176590926;      // 1/30.6001
constexpr double perFourteen = 0.07142857142857142;        // 1/14
constexpr double perTen = 0.1;                             // 1/10
// Modified Julian Date of the start of GPS week 0, 1980-01-06.
constexpr std::int32_t gpsEpochMjd = 44244;

struct TimeOfDay {
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  double second = 0.0;  // not rounded
};

// The fraction of its day that a time of seconds has run: the exact remainder
// of seconds by 86400 (sign of seconds) times 1/86400.
double dayFraction(double seconds);

// Hour, minute and second of a day fraction.
TimeOfDay timeOfDay(double fraction);

// Calendar date and time of a GPS week and seconds of that week.
EpochTime SOWCIV(std::int32_t week, double secondsOfWeek);

// Calendar date and time of a Modified Julian Date and a day fraction.
EpochTime MJDCIV(std::int32_t mjd, double dayFraction);

// The Modified Julian Date of a date of the (proleptic Gregorian) civil
// calendar; the month 1 to 12 and the day within it.
constexpr std::int32_t mjdOfDate(std::int32_t year, std::int32_t month, std::int32_t day) {
  // Counted from a March-based year, so that the leap day closes the year;
  // 719468 is the day number of 1970-01-01 and 40587 its MJD. Worked out in
  // 64 bits: a date that an absurd week gives (years in the millions) must
  // not overflow; one beyond 32 bits of days comes back wrapped.
  const std::int64_t y = month <= 2 ? std::int64_t{year} - 1 : year;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear =
      (153 * (month > 2 ? std::int64_t{month} - 3 : std::int64_t{month} + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<std::int32_t>(era * 146097 + dayOfEra - 719468 + 40587);
}

// Whether year, month and day name a day of the civil calendar.
constexpr bool isCivilDate(std::int32_t year, std::int32_t month, std::int32_t day) {
  if (month < 1 || month > 12 || day < 1) return false;
  constexpr std::int32_t monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= monthDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The GPS week that holds a calendar date given as YYYY-MM-DD, or nothing
// when the text is not such a date or the date lies before 1980-01-06.
std::optional<std::int32_t> gpsWeekOfDate(std::string_view date);

// The whole GPS seconds from the start of GPS week 0 to a GPS date and time
// given as YYYY-MM-DDTHH:MM:SS (a blank may stand for the T), or nothing
// when the text is not such a time or lies before 1980-01-06 00:00:00.
// Seconds go to 59 (GPS time has no leap seconds) and have no fraction.
std::optional<std::int64_t> gpsSecondOfDateTime(std::string_view text);

}  // namespace kapolex
