// The time steps of a measurement message: screening of unusable receive
// times, the decimation, the week rollover and the dating of a kept
// epoch. The receiver sends only seconds of the week, so the week is followed
// here from the operator's starting answer.
#pragma once

#include <cstdint>
#include <limits>

#include "common/epoch_time.hpp"
#include "common/gps_constants.hpp"
#include "common/measurement.hpp"
#include "common/numeric.hpp"
#include "receiver_log/measurement_body.hpp"

namespace kapolex {

// A time a few hundredths of a microsecond short of a whole minute would
// print as second 60.0000000; it is lifted just past the minute instead.
constexpr double minuteGuardThreshold = 59.9999999501;
constexpr double minuteGuardLift = 4.99e-8;

struct GpsTime {
  std::int32_t week = 0;
  double secondsOfWeek = 0.0;
};

// The steps below run for every measurement message; inline.

// Whether the epoch of a usable receive time is written: its nearest whole
// second is a multiple of the decimation interval (5 seconds unless given).
inline bool keepEpoch(double receiveTime, std::int32_t intervalSeconds = defaultDecimationSeconds) {
  return nearestInteger(receiveTime) % intervalSeconds == 0;
}

// The whole GPS second of a usable receive time in a week, counted from the
// start of GPS week 0: the receive time rounded to the second, the very
// second the decimation looks at. A time window and the split into files
// go by this count, so that an epoch the receiver dated a hair before a
// whole second goes with that second, as the decimation keeps it for it.
inline std::int64_t gpsSecondOfEpoch(std::int32_t week, double receiveTime) {
  return std::int64_t{week} * wholeSecondsPerWeek + nearestInteger(receiveTime);
}

// The calendar date and time of a whole GPS second (as gpsSecondOfEpoch
// counts them), its date as the epoch lines give it.
EpochTime calendarTimeOfGpsSecond(std::int64_t second);

// The week after week, held at the largest 32-bit week.
constexpr std::int32_t nextWeek(std::int32_t week) {
  return week == std::numeric_limits<std::int32_t>::max() ? week : week + 1;
}

// The GPS week of the log. The receiver sends only seconds of the week, so
// the week is followed from the operator's starting answer: it goes up by one
// whenever the receive time runs backwards, by however little.
class WeekTracker {
 public:
  // Starts at the operator's week, with 0.0 as the previous receive time.
  explicit WeekTracker(std::int32_t week) : week_(week) {}

  std::int32_t week() const { return week_; }
  // The receive time of the last message that was not screened out.
  double previousReceiveTime() const { return previousReceiveTime_; }

  // Advances the week when the receive time runs backwards and makes it the
  // previous receive time. Inline: it runs for every measurement message.
  void follow(double receiveTime) {
    if (receiveTime < previousReceiveTime_) week_ = nextWeek(week_);
    previousReceiveTime_ = receiveTime;
  }

 private:
  std::int32_t week_;
  double previousReceiveTime_ = 0.0;
};

// The GPS week, from 1 up, in which a receive time lies closest to a GPS
// time given in whole seconds from the start of week 0 (the computer's
// clock): for a log that is being written or was downloaded in the last few
// days. The receive time counts by its whole second, as the split and the
// window count it; a receive time exactly half a week from the clock either
// way takes the earlier week, as a log is more often old than from the
// future.
std::int32_t closestWeek(double receiveTime, std::int64_t gpsSecondsNow);

// The seconds within the minute of a receive time, from its day fraction.
double minuteTestValue(double receiveTime);

// The receive time, lifted by 4.99e-8 s when its seconds within the minute
// (from minuteTestValue) lie just short of the next minute.
double minuteGuard(double receiveTime, double secondsOfMinute);

// A time at or past the week's end moved once into the following week; the
// run's week is not changed by this.
GpsTime weekEndWrap(std::int32_t week, double secondsOfWeek);

// The calendar time of a kept epoch: minute guard, week-end wrap, then the
// GPS-to-calendar conversion.
EpochTime epochTimeOf(std::int32_t week, double receiveTime, double secondsOfMinute);

}  // namespace kapolex
