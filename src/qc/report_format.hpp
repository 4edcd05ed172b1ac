// Numbers and times as every report prints them, the same in text, JSON and
// the plot, and free of any locale: the exact shortest and fixed decimal
// conversions alone turn numbers into digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/epoch_time.hpp"
#include "measure/gps_time.hpp"

namespace kapolex {

// The pieces (strings and string literals) appended in order into one
// string. Reports are built so rather than with + on a literal, which GCC 12's
// optimiser misreads as copying between overlapping ranges.
template <class... Pieces>
std::string joined(const Pieces&... pieces) {
  std::string text;
  text.reserve((std::string_view(pieces).size() + ... + 0));
  (text.append(std::string_view(pieces)), ...);
  return text;
}

// The shortest decimal that reads back as the same double: 300000, 604799.9.
std::string shortestDecimal(double value);

// A fixed number of decimals, rounded: fixedDecimal(45.125, 2) is "45.13"
// or "45.12" as the exact binary value lies.
std::string fixedDecimal(double value, int decimals);

// Nanoseconds as exact decimal seconds: 1000000000 is "1", 333333333 is
// "0.333333333".
std::string exactSeconds(std::int64_t nanos);

// "week/seconds", seconds as shortestDecimal: "1356/300000".
std::string gpsTimeText(const GpsTime& time);

// A whole number below 100 in two digits: 7 is "07".
std::string twoDigits(std::int32_t value);

// "YYYY-MM-DD" of a calendar time.
std::string calendarDateText(const EpochTime& time);

// "YYYY-MM-DD hh:mm:ss.sssssss", seconds to the seven decimals of z.obs.
std::string calendarText(const EpochTime& time);

}  // namespace kapolex
