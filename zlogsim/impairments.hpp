// Faults a real receiver shows that a quality check must find: carrier-phase
// cycle slips, per-satellite loss of lock and code noise. Each draw comes
// from a hash stream of its own keyed by seed, PRN and epoch, so enabling one
// never changes any other value of the log.
#pragma once

#include <cstdint>

namespace zlogsim {

struct ImpairmentSettings {
  double slipsPerHour = 0.0;     // cycle slips per satellite-hour of tracking
  double lockLossPerHour = 0.0;  // tracking interruptions per satellite-hour
  double codeNoiseSigma = 0.0;   // m, white Gaussian noise on the pseudorange
};

enum class ImpairmentKind { slip, lockLoss };

// One injected fault at an epoch. value: the slip in whole cycles (signed),
// or the number of epochs the satellite stays dark after a loss of lock.
struct Impairment {
  ImpairmentKind kind = ImpairmentKind::slip;
  int prn = 0;
  std::int64_t value = 0;
};

inline constexpr std::int32_t maxSlipCycles = 1000;
// Long interruptions last this many seconds, log-uniformly distributed.
inline constexpr double shortestLongLoss = 10.0;
inline constexpr double longestLongLoss = 300.0;

// The chance that a Poisson process of `perHour` events an hour fires within
// one epoch at `rateHz` epochs per second.
double chancePerEpoch(double perHour, double rateHz);

// The slip of PRN prn at epoch k, whole cycles: 0 (no slip) with probability
// 1 - chance, else a magnitude uniform in 1 to 1000 with a random sign.
std::int32_t slipAt(std::uint64_t seed, int prn, std::uint64_t k, double chance);

// How many epochs PRN prn goes dark from epoch k: 0 (no loss) with
// probability 1 - chance. A loss is short (1 or 2 epochs, a quarter of the
// losses each) or long (the other half): 10 to 300 s, log-uniform, rounded up
// to whole epochs and at least 3 epochs.
std::uint64_t lockLossAt(std::uint64_t seed, int prn, std::uint64_t k, double chance,
                         double rateHz);

// Gaussian code noise (m) of PRN prn at epoch k with standard deviation sigma.
double codeNoiseAt(std::uint64_t seed, int prn, std::uint64_t k, double sigma);

}  // namespace zlogsim
