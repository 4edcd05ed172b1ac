// Integer helpers shared by the decoding and the time steps. Every integer
// part the system takes is a truncation toward zero into 32 bits; these are
// the only places where a double becomes an integer, so out-of-range values
// from damaged data can never reach an undefined conversion.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kapolex {

// Integer part of x: truncation toward zero into a signed 32-bit integer.
// Values beyond the 32-bit range saturate and a NaN gives 0; neither occurs
// for data the receiver can produce.
constexpr std::int32_t integerPart(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

// Nearest integer, halves away from zero: the integer part of x + 0.5 for a
// positive x and of x - 0.5 for a negative one, each sum rounded to double.
constexpr std::int32_t nearestInteger(double x) {
  if (x > 0.0) return integerPart(x + 0.5);
  if (x < 0.0) return integerPart(x - 0.5);
  return 0;
}

}  // namespace kapolex
