// Random draws of the injected receiver faults.
#include "zlogsim/impairments.hpp"

#include <cmath>

#include "zlogsim/gps_model.hpp"
#include "zlogsim/random.hpp"

namespace zlogsim {
namespace {

constexpr std::uint64_t keySlip = 0x534C4950;       // cycle slips
constexpr std::uint64_t keyLockLoss = 0x4C4F434B;   // loss of lock
constexpr std::uint64_t keyCodeNoise = 0x434E4F53;  // pseudorange noise

Random streamFor(std::uint64_t seed, std::uint64_t key, int prn, std::uint64_t k) {
  return Random(hashKeys(seed, key, static_cast<std::uint64_t>(prn), k));
}

}  // namespace

double chancePerEpoch(double perHour, double rateHz) {
  return -std::expm1(-perHour / 3600.0 / rateHz);
}

std::int32_t slipAt(std::uint64_t seed, int prn, std::uint64_t k, double chance) {
  Random rng = streamFor(seed, keySlip, prn, k);
  if (!(rng.uniform() < chance)) return 0;
  const auto size = static_cast<std::int32_t>(1 + rng.below(maxSlipCycles));
  return rng.below(2) == 0 ? size : -size;
}

std::uint64_t lockLossAt(std::uint64_t seed, int prn, std::uint64_t k, double chance,
                         double rateHz) {
  Random rng = streamFor(seed, keyLockLoss, prn, k);
  if (!(rng.uniform() < chance)) return 0;
  const std::uint32_t kind = rng.below(4);
  if (kind < 2) return kind + 1;
  const double seconds =
      shortestLongLoss * std::pow(longestLongLoss / shortestLongLoss, rng.uniform());
  const double epochs = std::ceil(seconds * rateHz);
  return epochs < 3.0 ? 3 : static_cast<std::uint64_t>(epochs);
}

double codeNoiseAt(std::uint64_t seed, int prn, std::uint64_t k, double sigma) {
  // Box-Muller; 1 - uniform lies in (0, 1], so the logarithm is finite.
  Random rng = streamFor(seed, keyCodeNoise, prn, k);
  const double radius = std::sqrt(-2.0 * std::log(1.0 - rng.uniform()));
  return sigma * radius * std::cos(2.0 * pi * rng.uniform());
}

}  // namespace zlogsim
