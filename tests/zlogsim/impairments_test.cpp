// Injected receiver faults: each run is compared with the plain run of the
// same seed, which must differ only where the fault says.
#include "zlogsim/impairments.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "zlogsim/simulator.hpp"

namespace zlogsim {
namespace {

constexpr double c = 299792458.0;
constexpr double K = 4.773032746823069e-10;
constexpr int twoHours = 7200;

double readerPhase(std::uint32_t word) {
  return static_cast<double>(word >> 12) + static_cast<double>((word >> 2) & 0x3FFU) / 1024.0;
}

double readerPseudorange(double t, std::int32_t codePhase) {
  double x = std::fmod(t, 1.0) - static_cast<double>(codePhase) * K;
  if (x < 0.0) x += 1.0;
  return x * c;
}

// Phase difference with the 2^20-cycle wrap undone.
double phaseStep(std::uint32_t from, std::uint32_t to) {
  double d = readerPhase(to) - readerPhase(from);
  if (d > 524288.0) d -= 1048576.0;
  if (d < -524288.0) d += 1048576.0;
  return d;
}

SimulationSettings oneHertz() {
  SimulationSettings s;
  s.start = {1500, 86400.0};
  s.seed = 21;
  return s;
}

std::map<int, const ChannelRecord*> byPrn(const SimEpoch& e) {
  std::map<int, const ChannelRecord*> m;
  for (std::size_t i = 0; i < e.body.channelCount; ++i) m[e.truth[i].prn] = &e.body.channels[i];
  return m;
}

void expectSameButCarrier(const ChannelRecord& a, const ChannelRecord& b, std::uint64_t k) {
  EXPECT_EQ(a.prnByte, b.prnByte) << "epoch " << k;
  EXPECT_EQ(a.signal, b.signal) << "epoch " << k;
  EXPECT_EQ(a.codePhase, b.codePhase) << "epoch " << k;
  EXPECT_EQ(a.reserved, b.reserved) << "epoch " << k;
}

TEST(Impairments, SlipsMoveOnlyTheCarrierPhaseByTheirWholeCyclesFromThenOn) {
  SimulationSettings s = oneHertz();
  Simulator plain(s);
  s.impairments.slipsPerHour = 300.0;
  Simulator slipping(s);
  std::map<int, std::int64_t> net;  // cycles slipped since the PRN's acquisition
  std::set<std::int64_t> sizes;
  int slips = 0;
  int records = 0;
  for (int k = 0; k < twoHours; ++k) {
    const SimEpoch& a = plain.next();
    const SimEpoch& b = slipping.next();
    ASSERT_EQ(a.body.channelCount, b.body.channelCount);
    const auto flagsOf = byPrn(b);
    for (std::size_t i = 0; i < b.eventCount; ++i) {
      const Impairment& e = b.events[i];
      ASSERT_EQ(e.kind, ImpairmentKind::slip);
      EXPECT_GE(std::abs(e.value), 1);
      EXPECT_LE(std::abs(e.value), 1000);
      EXPECT_EQ(flagsOf.at(e.prn)->carrierWord & 3U, 0U) << "slips only on settled channels";
      net[e.prn] += e.value;
      sizes.insert(e.value);
      ++slips;
    }
    for (std::size_t i = 0; i < a.body.channelCount; ++i, ++records) {
      const ChannelRecord& ra = a.body.channels[i];
      const ChannelRecord& rb = b.body.channels[i];
      expectSameButCarrier(ra, rb, a.index);
      ASSERT_EQ(ra.carrierWord & 3U, rb.carrierWord & 3U);
      const int prn = a.truth[i].prn;
      if ((ra.carrierWord & 3U) == 3U) net[prn] = 0;  // acquired anew
      EXPECT_EQ(phaseStep(ra.carrierWord, rb.carrierWord), static_cast<double>(net[prn]))
          << "PRN " << prn << " epoch " << k;
    }
  }
  // A Poisson count: within five standard deviations of the mean.
  const double expected = 300.0 * records / 3600.0;
  EXPECT_NEAR(slips, expected, 5.0 * std::sqrt(expected));
  EXPECT_LT(*sizes.begin(), -500);
  EXPECT_GT(*sizes.rbegin(), 500);
}

TEST(Impairments, LockLossDarkensASatelliteAndReacquiresItWithTheFlagsSet) {
  SimulationSettings s = oneHertz();
  Simulator plain(s);
  s.impairments.lockLossPerHour = 20.0;
  Simulator lossy(s);
  std::map<int, std::uint64_t> darkUntil;  // first epoch after the drawn interruption
  std::map<int, int> lengths;              // interruptions by length class
  std::map<int, std::uint64_t> lastSeen;
  int reacquired = 0;
  for (std::uint64_t k = 0; k < twoHours; ++k) {
    const auto a = byPrn(plain.next());
    const SimEpoch& e = lossy.next();
    const auto b = byPrn(e);
    for (std::size_t i = 0; i < e.eventCount; ++i) {
      const Impairment& ev = e.events[i];
      ASSERT_EQ(ev.kind, ImpairmentKind::lockLoss);
      ASSERT_EQ(lastSeen[ev.prn] + 1, k) << "only a tracked satellite loses lock";
      const auto n = static_cast<std::uint64_t>(ev.value);
      EXPECT_TRUE(n <= 2 || (n >= 10 && n <= 300)) << n;
      ++lengths[n <= 2 ? static_cast<int>(n) : 3];
      darkUntil[ev.prn] = k + n;
    }
    for (const auto& [prn, record] : a) {
      const bool dark = darkUntil.count(prn) != 0 && k < darkUntil[prn];
      const auto it = b.find(prn);
      ASSERT_EQ(it == b.end(), dark) << "PRN " << prn << " epoch " << k;
      if (dark) continue;
      expectSameButCarrier(*record, *it->second, k);
      const std::uint32_t flags = it->second->carrierWord & 3U;
      if (darkUntil.count(prn) != 0 && k == darkUntil[prn] && lastSeen[prn] + 1 < k) {
        EXPECT_EQ(flags, 3U) << "reacquired PRN " << prn << " epoch " << k;
        ++reacquired;
      } else if (darkUntil.count(prn) != 0 && k == darkUntil[prn] + 1) {
        EXPECT_EQ(flags, 1U) << "settling PRN " << prn << " epoch " << k;
      } else {
        EXPECT_EQ(flags, record->carrierWord & 3U);
      }
      lastSeen[prn] = k;
    }
    for (const auto& [prn, record] : b) {
      EXPECT_EQ(a.count(prn), 1U) << "a PRN the plain run does not track";
    }
  }
  EXPECT_GT(lengths[1], 10);
  EXPECT_GT(lengths[2], 10);
  EXPECT_GT(lengths[3], 20);
  EXPECT_GT(reacquired, 40);
}

TEST(Impairments, CodeNoiseHasTheRequestedSpreadAndLeavesTheCarrierAlone) {
  SimulationSettings s = oneHertz();
  Simulator plain(s);
  s.impairments.codeNoiseSigma = 0.5;
  Simulator noisy(s);
  double sum = 0.0;
  double squares = 0.0;
  int n = 0;
  for (int k = 0; k < 3600; ++k) {
    const SimEpoch& a = plain.next();
    const SimEpoch& b = noisy.next();
    ASSERT_EQ(a.body.channelCount, b.body.channelCount);
    for (std::size_t i = 0; i < a.body.channelCount; ++i, ++n) {
      const ChannelRecord& ra = a.body.channels[i];
      const ChannelRecord& rb = b.body.channels[i];
      EXPECT_EQ(ra.carrierWord, rb.carrierWord);
      EXPECT_EQ(ra.signal, rb.signal);
      const double t = a.body.receiveTime;
      const double d = readerPseudorange(t, rb.codePhase) - readerPseudorange(t, ra.codePhase);
      sum += d;
      squares += d * d;
    }
  }
  ASSERT_GT(n, 20000);
  const double mean = sum / n;
  const double sd = std::sqrt(squares / n - mean * mean);
  EXPECT_NEAR(mean, 0.0, 4.0 * 0.5 / std::sqrt(n));
  // The rounding to whole counts adds 4 cm of spread to each side.
  EXPECT_NEAR(sd, 0.5, 0.02);
}

}  // namespace
}  // namespace zlogsim
