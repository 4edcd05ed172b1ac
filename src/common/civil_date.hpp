// Dates of the civil (proleptic Gregorian) calendar as day counts: what
// the command line's dates, the GPS epoch and the standard file names' days
// of the year are worked out with. Exact integer arithmetic, unlike the
// epoch lines' fixed floating-point steps.
#pragma once

#include <cstdint>

namespace kapolex {

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

struct CivilDate {
  std::int32_t year = 0;
  std::int32_t month = 0;  // 1 to 12
  std::int32_t day = 0;    // 1 to 31
};

// The civil date of a count of days since 1970-01-01 (day 0): the inverse
// of mjdOfDate's count, from a March-based year in the same way.
constexpr CivilDate civilDateOfDays(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<std::int32_t>(year), static_cast<std::int32_t>(month),
          static_cast<std::int32_t>(day)};
}

}  // namespace kapolex
