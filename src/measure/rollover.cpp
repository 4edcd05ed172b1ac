#include "measure/rollover.hpp"

#include "common/run_stop.hpp"

namespace kapolex {

void CROINI(ConversionState& state) {
  state.previousRawPhase.fill(0.0);
  state.wrapCount.fill(0);
}

}  // namespace kapolex
