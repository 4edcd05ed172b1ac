// The local wall clock as the header needs it, behind a seam so that a test
// can pin the run's date and time.
#pragma once

#include <cstdint>
#include <functional>

namespace kapolex {

struct LocalDate {
  std::int16_t year;   // four digits
  std::int16_t month;  // 1 to 12
  std::int16_t day;    // 1 to 31
};

struct LocalTimeOfDay {
  std::int16_t hour;    // 0 to 23
  std::int16_t minute;  // 0 to 59
  std::int16_t second;  // whole seconds, the fraction dropped
};

// Two separate readings, date first; nothing makes them agree when the date
// changes in between.
struct LocalClock {
  std::function<LocalDate()> readDate;
  std::function<LocalTimeOfDay()> readTime;
};

// The machine's clock in local time (not UTC).
const LocalClock& systemClock();

}  // namespace kapolex
