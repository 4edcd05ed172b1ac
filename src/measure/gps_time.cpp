#include "measure/gps_time.hpp"

#include <algorithm>
#include <limits>

#include "common/numeric.hpp"
#include "measure/calendar.hpp"

namespace kapolex {

double minuteTestValue(double receiveTime) {
  return timeOfDay(dayFraction(receiveTime)).second;
}

double minuteGuard(double receiveTime, double secondsOfMinute) {
  return secondsOfMinute > minuteGuardThreshold ? receiveTime + minuteGuardLift : receiveTime;
}

GpsTime weekEndWrap(std::int32_t week, double secondsOfWeek) {
  if (secondsOfWeek >= secondsPerWeek)
    return GpsTime{nextWeek(week), secondsOfWeek - secondsPerWeek};
  return GpsTime{week, secondsOfWeek};
}

EpochTime epochTimeOf(std::int32_t week, double receiveTime, double secondsOfMinute) {
  const GpsTime dated = weekEndWrap(week, minuteGuard(receiveTime, secondsOfMinute));
  return calendarTimeOfWeekSeconds(dated.week, dated.secondsOfWeek);
}

std::int32_t closestWeek(double receiveTime, std::int64_t gpsSecondsNow) {
  const std::int64_t sinceWeekStart = gpsSecondsNow - nearestInteger(receiveTime);
  // Floor division, with the half week's tie going down.
  const std::int64_t shifted = sinceWeekStart + wholeSecondsPerWeek / 2 - 1;
  std::int64_t week = shifted / wholeSecondsPerWeek;
  if (shifted % wholeSecondsPerWeek < 0) --week;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(week, 1, std::numeric_limits<std::int32_t>::max()));
}

EpochTime calendarTimeOfGpsSecond(std::int64_t second) {
  // Whole days and seconds; the date by the same steps as an epoch's, whose
  // day fraction 0 they take exactly.
  const std::int64_t days = second / wholeSecondsPerDay;
  const std::int64_t ofDay = second % wholeSecondsPerDay;
  EpochTime time = calendarTimeOfMjd(static_cast<std::int32_t>(days + gpsEpochMjd), 0.0);
  time.hour = static_cast<std::int32_t>(ofDay / wholeSecondsPerHour);
  time.minute = static_cast<std::int32_t>(ofDay % wholeSecondsPerHour / wholeSecondsPerMinute);
  time.second = static_cast<double>(ofDay % wholeSecondsPerMinute);
  return time;
}

}  // namespace kapolex
