// The quality check's clock. Every figure about steps, gaps and arcs is worked
// out in whole nanoseconds of GPS time counted from the log's first usable
// epoch, so that equal steps compare equal and sums of steps are exact. The
// week comes from the converter, which moves to the next week whenever a
// receive time runs backwards: the check dates every epoch as z.obs does.
#pragma once

#include <algorithm>
#include <cstdint>

#include "common/epoch_time.hpp"
#include "common/gps_constants.hpp"
#include "measure/gps_time.hpp"

namespace kapolex {

constexpr std::int64_t nanosPerSecond = 1'000'000'000;
constexpr std::int64_t nanosPerWeek = static_cast<std::int64_t>(secondsPerWeek) * nanosPerSecond;
// Past this many weeks after the first epoch the timeline stops counting
// weeks; only a log whose time runs back thousands of times gets there, and
// the limit keeps every instant and every difference of two inside 64 bits.
constexpr std::int32_t timelineWeekLimit = 7000;

// Whole nanoseconds of a usable receive time (0 <= t < 2^31 s), rounded
// half up: the whole half-nanoseconds, plus one, halved. Inline: it runs for
// every epoch, where a library rounding call would cost more than the rest.
inline std::int64_t receiveTimeNanos(double receiveTime) {
  return (static_cast<std::int64_t>(receiveTime * 2e9) + 1) / 2;
}

// How a usable epoch's receive time follows the previous usable one.
enum class TimeStep {
  forward,       // later in the same week
  weekRollover,  // earlier, but only because a new week began (see below)
  repeated,      // equal
  backward,      // earlier, and no plausible week rollover
};

// A receive time earlier than the previous one is a week rollover when the
// time it moves forward in the converter's next week, (604800 - previous) +
// current, lies in (0, 1 day]: the receiver went from near the week's end to
// near its start. Anything else earlier is a backward time.
TimeStep classifyTimeStep(double previousReceiveTime, double receiveTime);

// The first usable epoch, from which the timeline counts.
class TimelineAnchor {
 public:
  TimelineAnchor() = default;
  TimelineAnchor(std::int32_t week, double receiveTime)
      : week_(week), nanos_(receiveTimeNanos(receiveTime)) {}

  // Nanoseconds from the anchor to an epoch dated by the converter. Inline:
  // it runs for every epoch.
  std::int64_t instant(std::int32_t week, double receiveTime) const {
    // The converter's week never goes down, so the difference is not negative.
    const std::int64_t weeks =
        std::min<std::int64_t>(std::int64_t{week} - week_, timelineWeekLimit);
    return weeks * nanosPerWeek + (receiveTimeNanos(receiveTime) - nanos_);
  }
  // Week and seconds of week (in [0, 604800)) of a timeline instant.
  GpsTime timeOf(std::int64_t instant) const;
  // Nanoseconds of week of instant 0.
  std::int64_t nanosOfWeek() const { return nanos_; }

 private:
  std::int32_t week_ = 0;
  std::int64_t nanos_ = 0;  // nanoseconds of week of the anchor
};

// The GPS calendar date and time z.obs would print for a GPS time.
EpochTime calendarOf(const GpsTime& time);

}  // namespace kapolex
