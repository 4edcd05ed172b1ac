// Carrier-phase rollover repair. The receiver's 20-bit cycle count wraps
// every 1048576 cycles; counting the wraps per satellite keeps the written
// phase continuous across them.
#pragma once

#include <cstdint>

#include "common/conversion_state.hpp"
#include "common/run_stop.hpp"

namespace kapolex {

// A jump of more than 0.9 of the counter's range between two epochs of one
// satellite can only be a wrap.
constexpr double wrapThreshold = 943718.4;
constexpr std::int64_t cyclesPerWrap = 1048576;

// Forgets every satellite's history: last raw phase 0.0, no wraps.
void CROINI(ConversionState& state);

// Takes the raw phase of PRN prn, counts a wrap against the PRN's previous raw
// phase, remembers the raw phase and adds the wraps' cycles to phase. A PRN
// outside 1 to 32 stops the run before anything changes. Inline: it runs for
// every channel of every message.
inline void CROFIX(ConversionState& state, std::int32_t prn, double& phase) {
  // Taken unsigned, PRN 0 and below land far above the table as well.
  const std::uint32_t index = static_cast<std::uint32_t>(prn) - 1u;
  if (index >= static_cast<std::uint32_t>(prnCount)) stopOnPrnOutOfRange();

  const double jump = phase - state.previousRawPhase[index];
  std::int64_t& count = state.wrapCount[index];
  // Up by nearly a full range: the count wrapped downwards past 0; down by
  // nearly a full range: it wrapped upwards past its top.
  if (jump > wrapThreshold) --count;
  if (jump < -wrapThreshold) ++count;
  state.previousRawPhase[index] = phase;
  // The count moves by at most one per channel, so its product with the wrap
  // size stays far inside 64 bits and converts to the exact correction.
  if (count != 0) phase = phase + static_cast<double>(count * cyclesPerWrap);
}

}  // namespace kapolex
