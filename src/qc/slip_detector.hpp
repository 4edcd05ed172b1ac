// Suspected cycle slips. Code minus carrier (C1 - lambda * L1) keeps the
// geometry and the clocks out and holds still while the carrier loop keeps
// its count, so a jump in it between two consecutive records of a satellite
// is the code noise of two epochs plus any slip. A jump counts as a slip when
// it exceeds a threshold made from that satellite's own jump noise, estimated
// robustly (from the median absolute jump, which the few slips cannot move),
// times a factor chosen for the false-alarm rate, and never below a floor.
// The estimate builds up from the log as it is read: until a satellite has
// enough jumps for it, the jumps beyond the floor wait to be judged.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/measurement.hpp"

namespace kapolex {

// L1 wavelength, m: c / 1575.42 MHz.
constexpr double l1Wavelength = 299792458.0 / 1575.42e6;
// A jump of more than this many standard deviations of the satellite's jump
// noise is a slip: the chance that Gaussian noise alone goes that far is
// 6.8e-6 per jump, well inside 1 false slip per 10,000 satellite-epochs even
// with the estimate's own error and the noise's heavier tails.
constexpr double slipThresholdFactor = 4.5;
// No threshold below this many metres (5.3 cycles): it keeps code-phase
// quantisation and the slow code-carrier wander of a real receiver
// (ionosphere, multipath) from passing as slips when the noise is tiny.
constexpr double slipThresholdFloor = 1.0;
// A satellite's noise is estimated once it has this many jumps.
constexpr std::int64_t noiseWarmUpJumps = 64;
// Past this many jumps the estimate is refreshed every this many jumps;
// before, whenever the count doubles.
constexpr std::int64_t noiseRefreshSpacing = 4096;

// Histogram of absolute jumps: eight bins to the octave from 2^-10 m
// (about 1 mm) to 2^20 m; smaller jumps fall into the first bin, larger ones
// into the last. The bin of a jump comes from its bits, with no logarithm.
constexpr std::size_t jumpBinCount = 240;
constexpr int jumpBinFirstOctave = -10;

inline std::size_t jumpBin(double jump) {
  const std::uint64_t magnitude = std::bit_cast<std::uint64_t>(jump) & ~(std::uint64_t{1} << 63);
  // The exponent and the top three bits of the mantissa: eight per octave.
  const auto top = static_cast<std::int64_t>(magnitude >> 49);
  constexpr std::int64_t firstTop = std::int64_t{1023 + jumpBinFirstOctave} << 3;
  return static_cast<std::size_t>(
      std::clamp<std::int64_t>(top - firstTop, 0, std::int64_t{jumpBinCount} - 1));
}

// The lower edge of a jump bin, m (0 for the first).
double jumpBinFloor(std::size_t bin);

// A jump beyond the threshold, with what the check needs to count it.
struct SlipCandidate {
  std::int64_t at = 0;        // timeline instant of the record
  std::int64_t step = 0;      // nanoseconds since the satellite's previous record
  std::size_t stepEntry = 0;  // that step's entry in the satellite's step histogram
  double jump = 0.0;          // m
};

class SlipDetector {
 public:
  SlipDetector();

  // Counts a jump of the satellite with index p (PRN - 1) between two
  // consecutive records under the same lock. True when the jump needs
  // judge(): it is beyond the threshold, or the noise estimate is due.
  // Inline: it runs for nearly every channel.
  bool count(std::size_t p, double jump) {
    Satellite& s = satellites_[p];
    ++s.bins[jumpBin(jump)];
    ++s.jumps;
    return std::fabs(jump) > s.threshold || s.jumps == s.nextRefresh;
  }

  // Refreshes the estimate if due and returns the candidates found to be
  // slips now: this one if it is beyond the threshold of a ready estimate,
  // and the waiting ones when the estimate has just become ready. The span
  // is valid until the next call.
  std::span<const SlipCandidate> judge(std::size_t p, const SlipCandidate& candidate);

  // At the end of the log: the noise and threshold from all the
  // satellite's jumps, and the candidates still waiting for them.
  struct Settled {
    double noise = 0.0;
    double threshold = slipThresholdFloor;
  };
  Settled settled(std::size_t p) const;
  std::span<const SlipCandidate> waiting(std::size_t p) const {
    return {satellites_[p].held.data(), satellites_[p].waiting};
  }

 private:
  struct Satellite {
    std::int64_t jumps = 0;
    std::int64_t nextRefresh = noiseWarmUpJumps;
    double threshold = slipThresholdFloor;
    bool ready = false;
    std::size_t waiting = 0;
    std::array<SlipCandidate, noiseWarmUpJumps> held{};
    std::array<std::int64_t, jumpBinCount> bins{};
  };

  void refresh(Satellite& s);
  void decideHeld(Satellite& s);

  std::array<Satellite, prnCount> satellites_{};
  std::array<SlipCandidate, noiseWarmUpJumps + 1> decided_{};
  std::size_t decidedCount_ = 0;
};

// The median of a jump histogram with `total` entries, interpolated within
// its bin; 0 for an empty one.
double medianJump(std::span<const std::int64_t, jumpBinCount> bins, std::int64_t total);

}  // namespace kapolex
