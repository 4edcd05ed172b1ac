#include "measure/gps_time.hpp"

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
  return SOWCIV(dated.week, dated.secondsOfWeek);
}

}  // namespace kapolex
