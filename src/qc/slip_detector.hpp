// Suspected cycle slips. Code minus carrier (C1 - lambda * L1) keeps the
// geometry and the clocks out and holds still while the carrier loop keeps
// its count, so a jump in it between two consecutive records of a satellite
// is the code noise of two epochs plus any slip. A jump counts as a slip when
// it exceeds a threshold made from that satellite's own jump noise, estimated
// robustly (from the median absolute jump, which the few slips cannot move),
// times a factor chosen for the false-alarm rate, and never below a floor.
// The estimate builds up from the log as it is read and forgets slowly:
// until a satellite has enough jumps for it, the jumps beyond the floor wait
// to be judged.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/measurement.hpp"
#include "compat/bit_cast.hpp"

namespace kapolex {

// A jump of more than this many standard deviations of the satellite's jump
// noise is a slip: the chance that Gaussian noise alone goes that far is
// 6.8e-6 per jump, well inside 1 false slip per 10,000 satellite-epochs even
// with the estimate's own error and the noise's heavier tails.
constexpr double slipThresholdFactor = 4.5;
// An estimate from n jumps may fall short of the noise: its standard error
// is 1.166 / sqrt(n) of it (the median absolute value is 37 % as efficient
// as the standard deviation). The threshold is raised by two such errors, so
// that a satellite whose first minutes happen to be quiet does not see its
// ordinary noise as slips while its estimate rests on few jumps.
constexpr double noiseEstimateError = 1.166;
constexpr double noiseEstimateMargin = 2.0;
// No threshold below this many metres (5.3 cycles): it keeps code-phase
// quantisation and the slow code-carrier wander of a real receiver
// (ionosphere, multipath) from passing as slips when the noise is tiny.
constexpr double slipThresholdFloor = 1.0;
// A satellite's noise is estimated once it has this many jumps.
constexpr std::int64_t noiseWarmUpJumps = 64;
// Once a satellite's estimate is ready, the jumps of one epoch in this many
// go into it: the median of a quarter of thousands of jumps is as good as
// that of all, and counting every jump would cost a third of the check.
constexpr std::int64_t noiseSampleSpacing = 4;
// The estimate is refreshed every this many counted jumps, and every
// noiseLaterRefreshSpacing once it rests on noiseHalvingSpacing jumps.
constexpr std::int64_t noiseRefreshSpacing = 64;
constexpr std::int64_t noiseLaterRefreshSpacing = 256;
// Every this many counted jumps the counts are halved, so that the estimate
// follows a noise that changes slowly, as it does with elevation: it rests
// on the last 1024 to 2048 counted jumps (about 1 to 2 hours at 1 Hz).
constexpr std::int64_t noiseHalvingSpacing = 1024;
static_assert(noiseWarmUpJumps % noiseRefreshSpacing == 0 &&
                  noiseHalvingSpacing % noiseRefreshSpacing == 0 &&
                  noiseHalvingSpacing % noiseLaterRefreshSpacing == 0,
              "the estimate is refreshed when it is ready and when it is halved");

// Histogram of absolute jumps: eight bins to the octave from 2^-10 m
// (about 1 mm) to 2^20 m; smaller jumps fall into the first bin, larger ones
// into the last. The bin of a jump comes from its bits, with no logarithm.
constexpr std::size_t jumpBinCount = 240;
constexpr int jumpBinFirstOctave = -10;

inline std::size_t jumpBin(double jump) {
  // Clamped first, so that the bits give the bin with no test: the sign
  // goes with the absolute value, and the exponent and the top three bits
  // of the mantissa count eight bins to the octave.
  constexpr double lowest = 0x1p-10;
  constexpr double highest = 0x1.fp19;  // in the last bin
  const double magnitude = std::min(std::max(std::fabs(jump), lowest), highest);
  constexpr std::uint64_t firstTop = bitCast<std::uint64_t>(lowest) >> 49;
  return static_cast<std::size_t>((bitCast<std::uint64_t>(magnitude) >> 49) - firstTop);
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

  // Looks at a jump of the satellite with index `satellite` (PRN - 1)
  // between two consecutive records under the same lock, and counts it into
  // the noise estimate if it is a sampled epoch's or the estimate is not
  // ready. True when the jump needs judge(): it is beyond the threshold, or
  // the estimate is due. Inline: it runs for nearly every channel.
  bool count(std::size_t satellite, double jump, bool sampledEpoch) {
    Watch& watch = watches_[satellite];
    if (sampledEpoch || watch.jumps < noiseWarmUpJumps) {
      ++bins_[jumpBin(jump)][satellite];
      if (++watch.jumps == watch.nextRefresh) return true;
    }
    return beyondThreshold(jump, watch.threshold);
  }

  // Refreshes the estimate if due and returns the candidates found to be
  // slips now: this one if it is beyond the threshold of a ready estimate,
  // and the waiting ones when the estimate has just become ready. The span
  // is valid until the next call.
  std::span<const SlipCandidate> judge(std::size_t satellite, const SlipCandidate& candidate);

  // The noise (standard deviation of the jumps, m) and the threshold from
  // the satellite's jumps as they are counted now.
  struct Settled {
    double noise = 0.0;
    double threshold = slipThresholdFloor;
  };
  Settled settled(std::size_t satellite) const;

  // The candidates still waiting for the satellite's first estimate that
  // are slips by its estimate at the end of the log: a satellite that never
  // had the jumps for an estimate has its candidates judged once, here.
  std::vector<SlipCandidate> lateSlips(std::size_t satellite) const;

 private:
  // Whether a jump is a slip against a threshold: the one rule by which
  // every candidate is judged, as it comes, when its estimate becomes ready
  // or at the end of the log.
  static bool beyondThreshold(double jump, double threshold) { return std::fabs(jump) > threshold; }

  // What every jump looks at, kept together for all satellites.
  struct alignas(32) Watch {
    std::int64_t jumps = 0;    // counted into the estimate
    std::int64_t removed = 0;  // taken out of it by the halvings
    std::int64_t nextRefresh = noiseWarmUpJumps;
    double threshold = slipThresholdFloor;
  };
  struct Held {
    bool ready = false;
    std::size_t count = 0;
    std::array<SlipCandidate, noiseWarmUpJumps> candidates{};
  };

  void refresh(std::size_t satellite);
  void decideHeld(std::size_t satellite);

  std::array<Watch, prnCount> watches_{};
  // Bin by bin, all satellites side by side: the bins that the jumps of
  // every satellite fall into share few cache lines. 32 bits count 136
  // years of one satellite's jumps at 1 Hz.
  std::array<std::array<std::uint32_t, prnCount>, jumpBinCount> bins_{};
  std::array<Held, prnCount> held_{};
  std::array<SlipCandidate, noiseWarmUpJumps + 1> decided_{};
  std::size_t decidedCount_ = 0;
};

}  // namespace kapolex
