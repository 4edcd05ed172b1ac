#include "qc/slip_detector.hpp"

namespace kapolex {

namespace {

// The standard deviation of zero-mean Gaussian noise is 1.4826 times its
// median absolute value.
constexpr double madToSigma = 1.482602218505602;

}  // namespace

double jumpBinFloor(std::size_t bin) {
  if (bin == 0) return 0.0;
  const auto octave = static_cast<int>(bin / 8) + jumpBinFirstOctave;
  const double eighths = static_cast<double>(bin % 8);
  return std::ldexp(1.0 + eighths / 8.0, octave);
}

SlipDetector::SlipDetector() = default;

SlipDetector::Settled SlipDetector::settled(std::size_t p) const {
  const Watch& w = watches_[p];
  const std::int64_t total = w.jumps - w.removed;
  if (total == 0) return {};
  // The median absolute jump, interpolated within its bin.
  const double half = static_cast<double>(total) / 2.0;
  double below = 0.0;
  double median = jumpBinFloor(jumpBinCount);
  for (std::size_t i = 0; i < jumpBinCount; ++i) {
    const auto here = static_cast<double>(bins_[i][p]);
    if (here > 0.0 && below + here >= half) {
      const double low = jumpBinFloor(i);
      median = low + (jumpBinFloor(i + 1) - low) * ((half - below) / here);
      break;
    }
    below += here;
  }
  const double noise = madToSigma * median;
  const double margin =
      1.0 + noiseEstimateMargin * noiseEstimateError / std::sqrt(static_cast<double>(total));
  return {noise, std::max(slipThresholdFloor, slipThresholdFactor * margin * noise)};
}

void SlipDetector::refresh(std::size_t p) {
  Watch& w = watches_[p];
  if (w.jumps % noiseHalvingSpacing == 0) {
    for (auto& bin : bins_) {
      w.removed += bin[p] - bin[p] / 2;
      bin[p] /= 2;
    }
  }
  w.threshold = settled(p).threshold;
  w.nextRefresh =
      w.jumps + (w.jumps < noiseHalvingSpacing ? noiseRefreshSpacing : noiseLaterRefreshSpacing);
}

void SlipDetector::decideHeld(std::size_t p) {
  Held& h = held_[p];
  for (std::size_t i = 0; i < h.count; ++i) {
    if (std::fabs(h.candidates[i].jump) > watches_[p].threshold) {
      decided_[decidedCount_++] = h.candidates[i];
    }
  }
  h.count = 0;
}

std::span<const SlipCandidate> SlipDetector::judge(std::size_t p, const SlipCandidate& candidate) {
  Watch& w = watches_[p];
  Held& h = held_[p];
  decidedCount_ = 0;
  if (w.jumps == w.nextRefresh) {
    refresh(p);
    if (!h.ready) {
      h.ready = true;
      decideHeld(p);
    }
  }
  if (std::fabs(candidate.jump) > w.threshold) {
    // Before the estimate is ready at most noiseWarmUpJumps - 1 jumps have
    // been counted, so there is always room to hold this one.
    if (h.ready) {
      decided_[decidedCount_++] = candidate;
    } else {
      h.candidates[h.count++] = candidate;
    }
  }
  return {decided_.data(), decidedCount_};
}

}  // namespace kapolex
