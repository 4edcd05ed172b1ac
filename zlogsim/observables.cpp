// Raw channel values from physical quantities.
#include "zlogsim/observables.hpp"

#include <cmath>

#include "zlogsim/gps_model.hpp"

namespace zlogsim {
namespace {

// Nearest integer, halves away from zero, for |x| < 2^62. Inline truncation
// instead of llround(), which is a library call on the hot path.
std::int64_t roundToInteger(double x) {
  auto i = static_cast<std::int64_t>(x);
  const double rest = x - static_cast<double>(i);
  if (rest >= 0.5) ++i;
  if (rest <= -0.5) --i;
  return i;
}

}  // namespace

std::int32_t codePhaseFor(double receiveTime, double pseudorange) {
  // The reader subtracts the code time from the receive time's fraction and
  // adds a second when that goes negative; so the code time is the transmit
  // time's fraction of a second.
  double transmitFraction = (receiveTime - std::floor(receiveTime)) - pseudorange / speedOfLight;
  transmitFraction -= std::floor(transmitFraction);
  std::int64_t counts =
      roundToInteger(transmitFraction * static_cast<double>(codePhaseCountsPerSecond));
  if (counts >= codePhaseCountsPerSecond) counts -= codePhaseCountsPerSecond;
  return static_cast<std::int32_t>(counts);
}

std::uint32_t packCarrierWord(double cycles, unsigned trackingFlags) {
  const std::int64_t steps = roundToInteger(cycles * 1024.0);
  // Two's complement masking is the positive modulo 2^30 steps, i.e. 2^20
  // cycles, for negative phases too.
  const auto wrapped = static_cast<std::uint32_t>(steps & ((std::int64_t{1} << 30) - 1));
  return (wrapped << 2) | (trackingFlags & 3U);
}

std::uint8_t signalByteFor(double sinElevation, double jitter) {
  const double s = sinElevation < 0.0 ? 0.0 : sinElevation;
  const double quarterDb = std::round((30.0 + 20.0 * s + jitter) * 4.0);
  if (quarterDb <= 0.0) return 0;
  if (quarterDb >= 255.0) return 255;
  return static_cast<std::uint8_t>(quarterDb);
}

}  // namespace zlogsim
