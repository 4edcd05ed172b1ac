// The computer's clock as UTC, for what a run decides from the time of day
// rather than from the log: the run date written into Compact RINEX, the
// GPS week of a live log, and when a followed log's period is over. Behind a
// seam, so that a test can pin the clock anywhere in the week.
#pragma once

#include <cstdint>
#include <functional>

namespace kapolex {

// Seconds since 1970-01-01 00:00:00 UTC, leap seconds not counted.
struct UtcClock {
  std::function<std::int64_t()> readSeconds;
};

// The machine's clock.
const UtcClock& systemUtcClock();

// GPS time runs ahead of UTC by the leap seconds inserted since 1980-01-06:
// 18 since 2017-01-01, the last insertion announced when this was written.
constexpr std::int64_t gpsAheadOfUtcSeconds = 18;
// 1980-01-06 00:00:00 UTC, the start of GPS week 0, in UTC seconds.
constexpr std::int64_t gpsEpochUtcSeconds = 315964800;

// The GPS time, in whole seconds since the start of GPS week 0, of a UTC
// reading in seconds since 1970.
constexpr std::int64_t gpsSecondsOfUtc(std::int64_t utcSeconds) {
  return utcSeconds - gpsEpochUtcSeconds + gpsAheadOfUtcSeconds;
}

}  // namespace kapolex
