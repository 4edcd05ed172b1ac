// Calendar date and time of day of a kept epoch, in GPS time.
#pragma once

#include <cstdint>

namespace kapolex {

struct EpochTime {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  double second = 0.0;  // seconds within the minute, not rounded
};

}  // namespace kapolex
