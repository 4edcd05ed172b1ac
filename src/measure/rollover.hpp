// Carrier-phase rollover repair. The receiver's 20-bit cycle count wraps
// every 1048576 cycles; counting the wraps per satellite keeps the written
// phase continuous across them.
#pragma once

#include <array>
#include <cstdint>

#include "common/measurement.hpp"
#include "common/run_stop.hpp"

namespace kapolex {

// A jump of more than 0.9 of the counter's range between two epochs of one
// satellite can only be a wrap.
constexpr double wrapThreshold = 943718.4;
constexpr std::int64_t cyclesPerWrap = 1048576;

// Every satellite's last raw phase and its signed count of wraps.
class PhaseRollover {
 public:
  PhaseRollover() { reset(); }

  // Forgets every satellite's history: last raw phase 0.0, no wraps.
  void reset() {
    previousRawPhase_.fill(0.0);
    wrapCount_.fill(0);
  }

  // Takes the raw phase of PRN prn, counts a wrap against the PRN's previous
  // raw phase, remembers the raw phase and returns it with the wraps' cycles
  // added. A PRN outside 1 to 32 stops the run before anything changes.
  // Inline: it runs for every channel of every message.
  double repairPhase(std::int32_t prn, double rawPhase) { return repair(prn, rawPhase, nullptr); }

  // The same, also telling which wrap it counted: -1, 0 or 1.
  double repairPhase(std::int32_t prn, double rawPhase, std::int32_t& step) {
    step = 0;
    return repair(prn, rawPhase, &step);
  }

  // The history of PRN prn (1 to 32).
  double previousRawPhase(std::int32_t prn) const {
    return previousRawPhase_[static_cast<std::size_t>(prn - 1)];
  }
  // The wrap count is kept in 64 bits so that no log, however long, can
  // overflow it.
  std::int64_t wrapCount(std::int32_t prn) const {
    return wrapCount_[static_cast<std::size_t>(prn - 1)];
  }

 private:
  double repair(std::int32_t prn, double rawPhase, std::int32_t* step) {
    // Taken unsigned, PRN 0 and below land far above the table as well.
    const std::uint32_t index = static_cast<std::uint32_t>(prn) - 1u;
    if (index >= static_cast<std::uint32_t>(prnCount)) stopOnPrnOutOfRange();

    const double jump = rawPhase - previousRawPhase_[index];
    std::int64_t& count = wrapCount_[index];
    // Up by nearly a full range: the count wrapped downwards past 0; down by
    // nearly a full range: it wrapped upwards past its top.
    if (jump > wrapThreshold) {
      --count;
      if (step != nullptr) *step = -1;
    }
    if (jump < -wrapThreshold) {
      ++count;
      if (step != nullptr) *step = 1;
    }
    previousRawPhase_[index] = rawPhase;
    // The count moves by at most one per channel, so its product with the
    // wrap size stays far inside 64 bits and converts to the exact correction.
    if (count == 0) return rawPhase;
    return rawPhase + static_cast<double>(count * cyclesPerWrap);
  }

  std::array<double, prnCount> previousRawPhase_;
  std::array<std::int64_t, prnCount> wrapCount_;
};

}  // namespace kapolex
