// The data section of the observation file: one block per kept epoch, in
// either dialect. The writers are the dialects' epochRecords (see
// rinex/dialect.hpp), one for each version and set of observation types:
// RINEX 2.10's epoch line, then one observation line per channel, all
// channelCount of them, in message order: L1 and C1, and S1 with it; RINEX
// 3.04's epoch record with the count of all channels, then one observation
// record per channel: the satellite, C1C and L1C, and S1C with it.
#pragma once

#include <cstdint>

#include "common/gps_constants.hpp"
#include "rinex/dialect.hpp"

namespace kapolex {

// The loss-of-lock digit in RINEX 3.04's terms. The receiver's tracking
// flags set bit 0 (lost lock, a cycle slip possible); RINEX 2's digit also
// carries bit 2, observed under anti-spoofing, which RINEX 3 states by the
// tracking code instead and where bit 2 means BOC tracking, which an L1 C/A
// signal never is.
constexpr std::int32_t rinex3LossOfLock(std::int32_t rinex2Digit) {
  return rinex2Digit == lossOfLockSet ? 1 : 0;
}

}  // namespace kapolex
