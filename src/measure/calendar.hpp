// GPS time to calendar date and time of day. The steps and their rounding are
// fixed: the epoch lines' digits, down to the seventh decimal of the second,
// depend on them, so every reciprocal is a stored constant that is multiplied
// and every integer part is a truncation toward zero.
#pragma once

#include <cstdint>

#include "common/civil_date.hpp"
#include "common/epoch_time.hpp"
#include "common/gps_constants.hpp"

namespace kapolex {

constexpr double perSecondOfDay = 1.1574074074074073e-05;  // 1/86400
constexpr double perDayOfYear = 0.0027378507871321013;     // 1/365.25
constexpr double yearStartOffset = 0.33429158110882956;    // 122.1/365.25
constexpr double perDayOfMonth = 0.03267963176590926;      // 1/30.6001
constexpr double perFourteen = 0.07142857142857142;        // 1/14
constexpr double perTen = 0.1;                             // 1/10

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
EpochTime calendarTimeOfWeekSeconds(std::int32_t week, double secondsOfWeek);

// Calendar date and time of a Modified Julian Date and a day fraction.
EpochTime calendarTimeOfMjd(std::int32_t mjd, double dayFraction);

}  // namespace kapolex
