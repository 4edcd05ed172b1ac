#include "qc/timeline.hpp"

#include <algorithm>
#include <cstdint>

#include "common/gps_constants.hpp"

namespace kapolex {

namespace {

// Floor division and the matching non-negative remainder.
std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

TimeStep classifyTimeStep(double previousReceiveTime, double receiveTime) {
  if (receiveTime > previousReceiveTime) return TimeStep::forward;
  if (receiveTime == previousReceiveTime) return TimeStep::repeated;
  const double ahead = (secondsPerWeek - previousReceiveTime) + receiveTime;
  return ahead > 0.0 && ahead <= secondsPerDay ? TimeStep::weekRollover : TimeStep::backward;
}

GpsTime TimelineAnchor::timeOf(std::int64_t instant) const {
  const std::int64_t total = nanos_ + instant;
  const std::int64_t weeks = floorDivide(total, nanosPerWeek);
  const std::int64_t rest = total - weeks * nanosPerWeek;
  const std::int64_t week = std::clamp<std::int64_t>(week_ + weeks, INT32_MIN, INT32_MAX);
  return {static_cast<std::int32_t>(week), static_cast<double>(rest) / 1e9};
}

EpochTime calendarOf(const GpsTime& time) {
  const double seconds = time.secondsOfWeek;
  return epochTimeOf(time.week, seconds, minuteTestValue(seconds));
}

}  // namespace kapolex
