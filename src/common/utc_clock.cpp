#include "common/utc_clock.hpp"

#include "common/platform.hpp"

namespace kapolex {

const UtcClock& systemUtcClock() {
  static const UtcClock clock{[] { return platform::utcSeconds(); }};
  return clock;
}

}  // namespace kapolex
