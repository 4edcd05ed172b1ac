#include "qc/slip_detector.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace kapolex {
namespace {

TEST(SlipDetector, JumpBinsHaveEightToTheOctaveFromTheirFloors) {
  for (std::size_t bin = 1; bin < jumpBinCount; ++bin) {
    const double floor = jumpBinFloor(bin);
    EXPECT_EQ(jumpBin(floor), bin) << floor;
    EXPECT_EQ(jumpBin(-floor), bin) << -floor;
    EXPECT_EQ(jumpBin(std::nextafter(floor, 0.0)), bin - 1) << floor;
    EXPECT_DOUBLE_EQ(jumpBinFloor(bin + 8), 2.0 * floor) << floor;
  }
  struct Case {
    double jump;
    std::size_t bin;
  };
  const Case clamped[] = {{0.0, 0},
                          {1e-9, 0},
                          {0x1p-10, 0},
                          {1.0, 80},
                          {1.1, 80},
                          {1.125, 81},
                          {0x1p20, jumpBinCount - 1},
                          {1e300, jumpBinCount - 1}};
  for (const Case& c : clamped) EXPECT_EQ(jumpBin(c.jump), c.bin) << c.jump;
}

// Jumps of satellites, fed as the check feeds them: every epoch sampled,
// and judged whenever the detector asks.
struct Feed {
  SlipDetector detector;
  std::int64_t fed = 0;
  std::vector<SlipCandidate> slips;

  void jump(std::size_t satellite, double size) {
    const SlipCandidate candidate{++fed, 1, 0, size};
    if (!detector.count(satellite, size, true)) return;
    for (const SlipCandidate& slip : detector.judge(satellite, candidate)) slips.push_back(slip);
  }
  // Noise of this size, alternating in sign, `count` jumps.
  void noise(std::size_t satellite, double size, int count) {
    for (int i = 0; i < count; ++i) jump(satellite, i % 2 == 0 ? size : -size);
  }
};

TEST(SlipDetector, QuietSatellitesHaveTheFloorForThreshold) {
  for (const int jumps : {0, 10, 200}) {
    Feed feed;
    feed.noise(3, 0.01, jumps);
    EXPECT_LT(feed.detector.settled(3).noise, 0.02) << jumps;
    EXPECT_EQ(feed.detector.settled(3).threshold, slipThresholdFloor) << jumps;
  }
}

TEST(SlipDetector, TheThresholdWidensWithTheNoiseAndWithFewJumps) {
  struct Case {
    int jumps;
    double lowestMargin, highestMargin;  // of the threshold over factor x noise
  };
  const Case cases[] = {{40, 1.35, 1.4}, {200, 1.15, 1.18}, {1000, 1.07, 1.08}};
  for (const Case& c : cases) {
    Feed feed;
    feed.noise(3, 1.0, c.jumps);
    const SlipDetector::Settled settled = feed.detector.settled(3);
    // All jumps of 1 m lie in the bin from 1 to 1.125 m.
    EXPECT_GE(settled.noise, 1.4826) << c.jumps;
    EXPECT_LE(settled.noise, 1.4826 * 1.125) << c.jumps;
    const double margin = settled.threshold / (slipThresholdFactor * settled.noise);
    EXPECT_GE(margin, c.lowestMargin) << c.jumps;
    EXPECT_LE(margin, c.highestMargin) << c.jumps;
    EXPECT_EQ(feed.detector.settled(4).threshold, slipThresholdFloor) << "another satellite";
  }
}

TEST(SlipDetector, AWaitingCandidateIsJudgedOnceWhenTheEstimateIsReady) {
  struct Case {
    double noise;
    double jump;
    bool slip;
  };
  const Case cases[] = {
      {0.01, 5.0, true},   // beyond the floor
      {0.01, -5.0, true},  // of either sign
      {0.01, 0.9, false},  // within the floor: never a candidate
      {1.0, 5.0, false},   // beyond the floor, within the noise's threshold
      {1.0, 50.0, true},
  };
  for (const Case& c : cases) {
    Feed feed;
    feed.noise(0, c.noise, 10);
    feed.jump(0, c.jump);
    EXPECT_TRUE(feed.slips.empty()) << c.jump << ": decided before the estimate";
    feed.noise(0, c.noise, noiseWarmUpJumps - 12);
    EXPECT_TRUE(feed.slips.empty()) << c.jump << ": decided one jump early";
    feed.noise(0, c.noise, 1);
    ASSERT_EQ(feed.slips.size(), c.slip ? 1U : 0U) << c.jump;
    if (c.slip) {
      EXPECT_EQ(feed.slips[0].jump, c.jump);
    }
    feed.noise(0, c.noise, 1000);
    EXPECT_EQ(feed.slips.size(), c.slip ? 1U : 0U) << c.jump << ": judged twice";
    EXPECT_TRUE(feed.detector.lateSlips(0).empty()) << c.jump;
  }
}

TEST(SlipDetector, CandidatesOfASatelliteWithoutAnEstimateAreJudgedAtTheEnd) {
  struct Case {
    double noise;
    std::vector<double> jumps;
    std::vector<double> late;
  };
  const Case cases[] = {
      {0.01, {}, {}},
      {0.01, {-2.0}, {-2.0}},
      {0.01, {5.0, -3.0, 0.5}, {5.0, -3.0}},
      // The end's estimate, from the jumps counted, is wider than the floor
      // the candidates were held against.
      {1.0, {5.0, 50.0}, {50.0}},
  };
  for (const Case& c : cases) {
    Feed feed;
    feed.noise(7, c.noise, 20);
    for (const double jump : c.jumps) feed.jump(7, jump);
    std::vector<double> late;
    for (const SlipCandidate& slip : feed.detector.lateSlips(7)) late.push_back(slip.jump);
    EXPECT_EQ(late, c.late) << c.noise;
    EXPECT_TRUE(feed.slips.empty());
  }
}

TEST(SlipDetector, OnlySampledEpochsCountOnceTheEstimateIsReady) {
  Feed feed;
  feed.noise(1, 0.01, noiseWarmUpJumps);
  const double noise = feed.detector.settled(1).noise;
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(feed.detector.count(1, 0.5, false));
  EXPECT_EQ(feed.detector.settled(1).noise, noise);
}

TEST(SlipDetector, TheEstimateForgetsOldJumps) {
  // 2048 quiet jumps, then 1536 noisy ones: counted alike, the quiet ones
  // would hold the median; halved every 1024 jumps, they give way.
  Feed feed;
  feed.noise(2, 0.01, 2048);
  feed.noise(2, 1.0, 1536);
  EXPECT_GT(feed.detector.settled(2).noise, 1.0);
}

}  // namespace
}  // namespace kapolex
