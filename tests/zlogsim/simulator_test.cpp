// The simulated receiver against its exact truth model.
#include "zlogsim/simulator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace zlogsim {
namespace {

constexpr double c = 299792458.0;
constexpr double K = 4.773032746823069e-10;

double readerPseudorange(double t, std::int32_t codePhase) {
  double x = std::fmod(t, 1.0) - static_cast<double>(codePhase) * K;
  if (x < 0.0) x += 1.0;
  return x * c;
}

double readerPhase(std::uint32_t word) {
  return static_cast<double>(word >> 12) + static_cast<double>((word >> 2) & 0x3FFU) / 1024.0;
}

SimulationSettings slowRun() {
  SimulationSettings s;
  s.rateHz = 1.0 / 30.0;
  s.start = {1400, 200000.0};
  s.seed = 7;
  return s;
}

TEST(Simulator, InterpolatedRangesAndPseudorangesMatchTheExactModel) {
  Simulator sim(slowRun());
  int channels = 0;
  for (int k = 0; k < 720; ++k) {  // six hours
    const SimEpoch& e = sim.next();
    EXPECT_NEAR(secondsBetween(e.reading, e.trueTime), e.clockOffset, 1e-9);
    for (std::size_t i = 0; i < e.body.channelCount; ++i, ++channels) {
      const ChannelTruth& t = e.truth[i];
      const SignalPath exact = sim.truth().signal(t.prn, e.trueTime);
      EXPECT_NEAR(t.range, exact.range, 1e-5) << "PRN " << t.prn << " epoch " << k;
      EXPECT_NEAR(t.pseudorange, sim.truth().pseudorange(t.prn, e.reading), 1e-5);
      EXPECT_NEAR(t.sinElevation, exact.sinElevation, 1e-9);
    }
  }
  EXPECT_GT(channels, 720 * 6);
}

TEST(Simulator, TracksAtMostTwelveSatellitesAboveTheMaskAndTheyRiseAndSet) {
  SimulationSettings s = slowRun();
  Simulator sim(s);
  std::set<int> previous;
  int rises = 0;
  int sets = 0;
  std::size_t most = 0;
  for (int k = 0; k < 720; ++k) {
    const SimEpoch& e = sim.next();
    EXPECT_EQ(e.body.receiveTime, e.reading.seconds);
    most = std::max(most, e.body.channelCount);
    std::set<int> inEpoch;
    for (std::size_t i = 0; i < e.body.channelCount; ++i) {
      const ChannelTruth& t = e.truth[i];
      EXPECT_TRUE(inEpoch.insert(t.prn).second) << "PRN twice in one epoch";
      EXPECT_EQ((e.body.channels[i].prnByte & 0x3F) + 1, t.prn);
      EXPECT_GE(t.sinElevation, sim.truth().sinMask());
    }
    if (k > 0) {
      for (int prn : inEpoch) rises += previous.count(prn) == 0 ? 1 : 0;
      for (int prn : previous) sets += inEpoch.count(prn) == 0 ? 1 : 0;
    }
    previous = inEpoch;
  }
  EXPECT_LE(most, maxChannels);
  EXPECT_GE(most, 8U);
  EXPECT_GE(rises, 8) << "satellites must come and go";
  EXPECT_GE(sets, 8);
}

TEST(Simulator, ChoosesTheHighestSatellitesWhenMoreAreVisibleThanChannels) {
  SimulationSettings s = slowRun();
  s.elevationMaskDegrees = -5.0;
  Simulator sim(s);
  const SimEpoch& e = sim.next();
  ASSERT_EQ(e.body.channelCount, maxChannels);
  double lowestTracked = 2.0;
  std::set<int> tracked;
  for (std::size_t i = 0; i < e.body.channelCount; ++i) {
    lowestTracked = std::min(lowestTracked, e.truth[i].sinElevation);
    tracked.insert(e.truth[i].prn);
  }
  int waiting = 0;
  for (int prn = 1; prn <= 32; ++prn) {
    if (tracked.count(prn) != 0) continue;
    const double el = sim.truth().signal(prn, e.trueTime).sinElevation;
    if (el >= sim.truth().sinMask()) ++waiting;
    EXPECT_LT(el, lowestTracked) << "PRN " << prn;
  }
  EXPECT_GT(waiting, 0) << "the scenario must leave a visible satellite untracked";
}

TEST(Simulator, WireValuesFollowTheTruthAndCarrierTracksCodeBetweenEpochs) {
  SimulationSettings s = slowRun();
  s.rateHz = 1.0;
  Simulator sim(s);
  struct Last {
    std::uint64_t epoch;
    double pseudorange;
    double phase;
  };
  std::map<int, Last> last;
  std::map<int, std::uint64_t> acquired;
  int compared = 0;
  for (int k = 0; k < 3000; ++k) {
    const SimEpoch& e = sim.next();
    for (std::size_t i = 0; i < e.body.channelCount; ++i) {
      const ChannelTruth& t = e.truth[i];
      const ChannelRecord& r = e.body.channels[i];
      const double pr = readerPseudorange(e.body.receiveTime, r.codePhase);
      EXPECT_NEAR(pr, t.pseudorange, 0.5 * K * c + 1e-6);
      EXPECT_NEAR(t.pseudorange - t.range, c * e.clockOffset, 1e-6);
      const unsigned flags = r.carrierWord & 3U;
      EXPECT_EQ(flags, t.trackingFlags);
      const double phase = readerPhase(r.carrierWord);
      const auto it = last.find(t.prn);
      const bool continuing = it != last.end() && it->second.epoch + 1 == e.index;
      if (!continuing) acquired[t.prn] = e.index;
      const std::uint64_t age = e.index - acquired[t.prn];
      EXPECT_EQ(flags != 0, age < 2) << "flags during the first two seconds only";
      if (continuing) {
        double dPhase = phase - it->second.phase;  // undo the 2^20 wrap
        if (dPhase > 524288.0) dPhase -= 1048576.0;
        if (dPhase < -524288.0) dPhase += 1048576.0;
        EXPECT_NEAR(dPhase * l1Wavelength, pr - it->second.pseudorange, 0.15 + 1e-3);
        ++compared;
      }
      last[t.prn] = {e.index, pr, phase};
    }
  }
  EXPECT_GT(compared, 20000);
}

TEST(Simulator, ReceiveTimesWrapToZeroAtTheWeekEndAndRangesStayContinuous) {
  SimulationSettings s;
  s.start = {1356, 604798.0};
  s.rateHz = 10.0;
  Simulator sim(s);
  std::map<int, double> previous;
  for (int k = 0; k < 40; ++k) {
    const SimEpoch& e = sim.next();
    const double expected = k < 20 ? 604798.0 + k / 10.0 : (k - 20) / 10.0;
    EXPECT_EQ(e.body.receiveTime, expected) << k;  // exact decimals, not accumulated steps
    EXPECT_EQ(e.reading.week, k < 20 ? 1356 : 1357);
    for (std::size_t i = 0; i < e.body.channelCount; ++i) {
      const ChannelTruth& t = e.truth[i];
      if (previous.count(t.prn) != 0) {
        EXPECT_LT(std::fabs(t.range - previous[t.prn]), 100.0);
      }
      previous[t.prn] = t.range;
    }
  }
}

}  // namespace
}  // namespace zlogsim
