// Counting the figures of written epochs.
#include "zlogsim/tally.hpp"

namespace zlogsim {

double rawCarrierPhase(std::uint32_t carrierWord) {
  return static_cast<double>(carrierWord >> 12) +
         static_cast<double>((carrierWord >> 2) & 0x3FFU) / 1024.0;
}

void LogTally::add(const SimEpoch& epoch) {
  if (epochs_ == 0) {
    firstIndex_ = epoch.index;
    first_ = epoch.reading;
  } else if (const std::uint64_t step = epoch.index - lastIndex_; step > 1) {
    const std::uint64_t missing = step - 1;
    ++gaps_;
    gapEpochs_ += missing;
    if (missing > longestGap_) {
      longestGap_ = missing;
      longestGapStart_ = lastIndex_ + 1;
    }
  }
  lastIndex_ = epoch.index;
  last_ = epoch.reading;
  ++epochs_;
  for (std::size_t i = 0; i < epoch.body.channelCount; ++i) addRecord(epoch, i);
}

void LogTally::addRecord(const SimEpoch& epoch, std::size_t channel) {
  const ChannelTruth& truth = epoch.truth[channel];
  const std::uint32_t word = epoch.body.channels[channel].carrierWord;
  SatelliteTally& s = satellites_[static_cast<std::size_t>(truth.prn - 1)];
  const bool continues = s.epochs > 0 && epoch.index - s.arcs.back().lastIndex <= maxArcStep;
  if (!continues) {
    s.arcs.push_back({epoch.index, epoch.index, epoch.reading, epoch.reading, 0});
  } else if (truth.lockStart == s.lockStart && truth.slipCycles != s.slipCycles) {
    // Slips in an outage show at the next record; slips that cancel do not.
    ++s.slips;
  }
  ArcTally& arc = s.arcs.back();
  arc.lastIndex = epoch.index;
  arc.last = epoch.reading;
  ++arc.epochs;
  ++s.epochs;
  if ((word & 3U) != 0) ++s.lol;
  const double raw = rawCarrierPhase(word);
  const double jump = raw - s.previousRawPhase;
  if (jump > rolloverThreshold || jump < -rolloverThreshold) ++s.rollovers;
  s.previousRawPhase = raw;
  s.lockStart = truth.lockStart;
  s.slipCycles = truth.slipCycles;
}

}  // namespace zlogsim
