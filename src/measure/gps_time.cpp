#include "measure/gps_time.hpp"

#include <limits>

#include "common/numeric.hpp"
#include "measure/calendar.hpp"

namespace kapolex {

bool isUsableReceiveTime(double receiveTime) {
  // Written so that a NaN fails: every comparison with it is false.
  return receiveTime >= 0.0 && receiveTime + 0.5 < receiveTimeLimit;
}

bool keepEpoch(double receiveTime) {
  return nearestInteger(receiveTime) % decimationSeconds == 0;
}

std::int32_t nextWeek(std::int32_t week) {
  return week == std::numeric_limits<std::int32_t>::max() ? week : week + 1;
}

void followWeekRollover(ConversionState& state, double receiveTime) {
  if (receiveTime < state.previousReceiveTime) state.week = nextWeek(state.week);
  state.previousReceiveTime = receiveTime;
}

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
