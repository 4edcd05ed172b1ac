// Carrier-phase rollover repair. The receiver's 20-bit cycle count wraps
// every 1048576 cycles; counting the wraps per satellite keeps the written
// phase continuous across them.
#pragma once

#include <cstdint>

#include "common/conversion_state.hpp"

namespace kapolex {

// A jump of more than 0.9 of the counter's range between two epochs of one
// satellite can only be a wrap.
constexpr double wrapThreshold = 943718.4;
constexpr std::int64_t cyclesPerWrap = 1048576;

// Forgets every satellite's history: last raw phase 0.0, no wraps.
void CROINI(ConversionState& state);

// Takes the raw phase of PRN prn, counts a wrap against the PRN's previous raw
// phase, remembers the raw phase and adds the wraps' cycles to phase. A PRN
// outside 1 to 32 stops the run before anything changes.
void CROFIX(ConversionState& state, std::int32_t prn, double& phase);

}  // namespace kapolex
