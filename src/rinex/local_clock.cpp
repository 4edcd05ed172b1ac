// Reads the machine's local time with the C library. Each reading takes the
// clock afresh, as the header's date and time are two separate readings.
#include "rinex/local_clock.hpp"

#include <ctime>

namespace kapolex {

namespace {

// A time the C library cannot break down (far outside any real clock) reads
// as all zero fields rather than failing the run.
std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::tm{};
  return local;
}

LocalDate readSystemDate() {
  const std::tm local = localNow();
  return {static_cast<std::int16_t>(local.tm_year + 1900),
          static_cast<std::int16_t>(local.tm_mon + 1), static_cast<std::int16_t>(local.tm_mday)};
}

LocalTimeOfDay readSystemTime() {
  const std::tm local = localNow();
  return {static_cast<std::int16_t>(local.tm_hour), static_cast<std::int16_t>(local.tm_min),
          static_cast<std::int16_t>(local.tm_sec)};
}

}  // namespace

const LocalClock& systemClock() {
  static const LocalClock clock{readSystemDate, readSystemTime};
  return clock;
}

}  // namespace kapolex
