#include "measure/rollover.hpp"

#include "common/run_stop.hpp"

namespace kapolex {

void CROINI(ConversionState& state) {
  state.previousRawPhase.fill(0.0);
  state.wrapCount.fill(0);
}

void CROFIX(ConversionState& state, std::int32_t prn, double& phase) {
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
