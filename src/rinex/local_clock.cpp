// Reads the machine's local time from the system. Each reading takes the
// clock afresh, as the header's date and time are two separate readings.
#include "rinex/local_clock.hpp"

#include "common/platform.hpp"

namespace kapolex {

namespace {

// A time the system cannot break down (far outside any real clock) reads
// as all zero fields rather than failing the run.
LocalDate readSystemDate() {
  const platform::LocalDateTime local = platform::localTime();
  return {static_cast<std::int16_t>(local.year), static_cast<std::int16_t>(local.month),
          static_cast<std::int16_t>(local.day)};
}

LocalTimeOfDay readSystemTime() {
  const platform::LocalDateTime local = platform::localTime();
  return {static_cast<std::int16_t>(local.hour), static_cast<std::int16_t>(local.minute),
          static_cast<std::int16_t>(local.second)};
}

}  // namespace

const LocalClock& systemClock() {
  static const LocalClock clock{readSystemDate, readSystemTime};
  return clock;
}

}  // namespace kapolex
