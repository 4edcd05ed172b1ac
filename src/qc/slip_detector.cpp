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

SlipDetector::Settled SlipDetector::settled(std::size_t satellite) const {
  const Watch& watch = watches_[satellite];
  const std::int64_t total = watch.jumps - watch.removed;
  if (total == 0) return {};
  // The median absolute jump, interpolated within its bin.
  const double half = static_cast<double>(total) / 2.0;
  double below = 0.0;
  double median = jumpBinFloor(jumpBinCount);
  for (std::size_t i = 0; i < jumpBinCount; ++i) {
    const auto here = static_cast<double>(bins_[i][satellite]);
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

std::vector<SlipCandidate> SlipDetector::lateSlips(std::size_t satellite) const {
  const Held& held = held_[satellite];
  std::vector<SlipCandidate> slips;
  if (held.count == 0) return slips;
  const double threshold = settled(satellite).threshold;
  for (std::size_t i = 0; i < held.count; ++i) {
    if (beyondThreshold(held.candidates[i].jump, threshold)) slips.push_back(held.candidates[i]);
  }
  return slips;
}

void SlipDetector::refresh(std::size_t satellite) {
  Watch& watch = watches_[satellite];
  if (watch.jumps % noiseHalvingSpacing == 0) {
    for (auto& bin : bins_) {
      watch.removed += bin[satellite] - bin[satellite] / 2;
      bin[satellite] /= 2;
    }
  }
  watch.threshold = settled(satellite).threshold;
  watch.nextRefresh = watch.jumps + (watch.jumps < noiseHalvingSpacing ? noiseRefreshSpacing
                                                                       : noiseLaterRefreshSpacing);
}

void SlipDetector::decideHeld(std::size_t satellite) {
  Held& held = held_[satellite];
  for (std::size_t i = 0; i < held.count; ++i) {
    if (beyondThreshold(held.candidates[i].jump, watches_[satellite].threshold)) {
      decided_[decidedCount_++] = held.candidates[i];
    }
  }
  held.count = 0;
}

std::span<const SlipCandidate> SlipDetector::judge(std::size_t satellite,
                                                   const SlipCandidate& candidate) {
  Watch& watch = watches_[satellite];
  Held& held = held_[satellite];
  decidedCount_ = 0;
  if (watch.jumps == watch.nextRefresh) {
    refresh(satellite);
    if (!held.ready) {
      held.ready = true;
      decideHeld(satellite);
    }
  }
  if (beyondThreshold(candidate.jump, watch.threshold)) {
    // Before the estimate is ready at most noiseWarmUpJumps - 1 jumps have
    // been counted, so there is always room to hold this one.
    if (held.ready) {
      decided_[decidedCount_++] = candidate;
    } else {
      held.candidates[held.count++] = candidate;
    }
  }
  return {decided_.data(), decidedCount_};
}

}  // namespace kapolex
