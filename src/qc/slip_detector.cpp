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

double medianJump(std::span<const std::int64_t, jumpBinCount> bins, std::int64_t total) {
  if (total <= 0) return 0.0;
  const double half = static_cast<double>(total) / 2.0;
  double below = 0.0;
  for (std::size_t i = 0; i < jumpBinCount; ++i) {
    const auto here = static_cast<double>(bins[i]);
    if (here > 0.0 && below + here >= half) {
      const double low = jumpBinFloor(i);
      const double high = jumpBinFloor(i + 1);
      return low + (high - low) * ((half - below) / here);
    }
    below += here;
  }
  return jumpBinFloor(jumpBinCount);
}

SlipDetector::SlipDetector() = default;

void SlipDetector::refresh(Satellite& s) {
  const double noise = madToSigma * medianJump(s.bins, s.jumps);
  s.threshold = std::max(slipThresholdFloor, slipThresholdFactor * noise);
  s.nextRefresh = s.jumps < noiseRefreshSpacing ? 2 * s.jumps : s.jumps + noiseRefreshSpacing;
}

void SlipDetector::decideHeld(Satellite& s) {
  for (std::size_t i = 0; i < s.waiting; ++i) {
    if (std::fabs(s.held[i].jump) > s.threshold) decided_[decidedCount_++] = s.held[i];
  }
  s.waiting = 0;
}

std::span<const SlipCandidate> SlipDetector::judge(std::size_t p, const SlipCandidate& candidate) {
  Satellite& s = satellites_[p];
  decidedCount_ = 0;
  if (s.jumps == s.nextRefresh) {
    refresh(s);
    if (!s.ready) {
      s.ready = true;
      decideHeld(s);
    }
  }
  if (std::fabs(candidate.jump) > s.threshold) {
    // Before the estimate is ready at most noiseWarmUpJumps - 1 jumps have
    // been counted, so there is always room to hold this one.
    if (s.ready) {
      decided_[decidedCount_++] = candidate;
    } else {
      s.held[s.waiting++] = candidate;
    }
  }
  return {decided_.data(), decidedCount_};
}

SlipDetector::Settled SlipDetector::settled(std::size_t p) const {
  const Satellite& s = satellites_[p];
  const double noise = madToSigma * medianJump(s.bins, s.jumps);
  return {noise, std::max(slipThresholdFloor, slipThresholdFactor * noise)};
}

}  // namespace kapolex
