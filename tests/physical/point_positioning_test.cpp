// The positioning used by the physical check, on pseudoranges taken straight
// from the simulator's truth model, so that a failing physical check points at
// the converter and not at the check.
#include "physical/point_positioning.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "zlogsim/simulator.hpp"

namespace kapolex::physical {
namespace {

using zlogsim::GpsTime;

TEST(GpsTimeOfDate, CountsWeeksAndSecondsFromTheGpsEpoch) {
  struct Case {
    CalendarTime date;
    GpsTime expected;
  };
  const Case cases[] = {
      {{1980, 1, 6, 0, 0, 0.0}, {0, 0.0}},
      {{1999, 8, 21, 23, 59, 59.0}, {1023, 604799.0}},
      {{1999, 8, 22, 0, 0, 0.0}, {1024, 0.0}},
      {{2000, 2, 29, 0, 0, 0.0}, {1051, 172800.0}},
      {{2004, 12, 31, 0, 0, 0.0}, {1303, 432000.0}},
      {{2006, 1, 1, 0, 0, 0.0}, {1356, 0.0}},
      {{2006, 1, 6, 0, 0, 17.5}, {1356, 432017.5}},
      {{2019, 4, 7, 0, 0, 0.0}, {2048, 0.0}},
      {{2038, 1, 19, 3, 14, 7.25}, {3028, 172800.0 + 3 * 3600 + 14 * 60 + 7.25}},
  };
  for (const Case& c : cases) {
    const GpsTime t = gpsTimeOf(c.date);
    EXPECT_EQ(t.week, c.expected.week) << c.date.year << "-" << c.date.month << "-" << c.date.day;
    EXPECT_EQ(t.seconds, c.expected.seconds) << c.date.year << "-" << c.date.month;
  }
}

// Pseudoranges a perfect receiver at `settings` measures at a clock reading,
// for every satellite above the mask.
std::vector<PseudorangeObservation> exactPseudoranges(const zlogsim::TruthModel& truth,
                                                      GpsTime reading) {
  std::vector<PseudorangeObservation> out;
  const GpsTime trueTime = truth.clock().trueTimeOf(reading);
  for (const zlogsim::OrbitElements& e : truth.constellation().elements()) {
    if (truth.signal(e.prn, trueTime).sinElevation < truth.sinMask()) continue;
    out.push_back({e.prn, truth.pseudorange(e.prn, reading)});
  }
  return out;
}

zlogsim::SimulationSettings elsewhere() {
  zlogsim::SimulationSettings s;
  s.start = {1700, 604000.0};
  s.receiverPosition = {-2694892.0, -4293083.0, 3857878.0};
  s.clockBias = -4.5e-4;
  s.clockDrift = 2.0e-8;
  return s;
}

TEST(PointPositioning, RecoversPositionAndClockFromExactPseudoranges) {
  const zlogsim::TruthModel truth(elsewhere());
  // Across the week end too, where the reading's week changes.
  for (double after : {0.0, 333.0, 799.5, 801.0, 5000.0}) {
    const GpsTime reading = zlogsim::addSeconds(elsewhere().start, after);
    const auto observed = exactPseudoranges(truth, reading);
    ASSERT_GE(observed.size(), 5U);
    const auto solution = solvePointPosition(truth.constellation(), reading, observed);
    ASSERT_TRUE(solution) << after;
    EXPECT_LT(zlogsim::norm(solution->position - truth.receiver()), 1e-3) << after;
    const double offset = truth.clock().offsetAt(truth.clock().trueTimeOf(reading));
    EXPECT_NEAR(solution->clockOffset, offset, 1e-12) << after;
    for (double r : solution->residuals) EXPECT_LT(std::fabs(r), 1e-3) << after;
  }
}

TEST(PointPositioning, ABadPseudorangeShowsInTheResiduals) {
  const zlogsim::TruthModel truth(elsewhere());
  const GpsTime reading = zlogsim::addSeconds(elsewhere().start, 100.0);
  auto observed = exactPseudoranges(truth, reading);
  ASSERT_GE(observed.size(), 6U);
  observed[2].pseudorange += 30.0;
  const auto solution = solvePointPosition(truth.constellation(), reading, observed);
  ASSERT_TRUE(solution);
  const double largest =
      std::fabs(*std::max_element(solution->residuals.begin(), solution->residuals.end(),
                                  [](double a, double b) { return std::fabs(a) < std::fabs(b); }));
  EXPECT_GT(largest, 5.0);
}

TEST(PointPositioning, ADatingErrorOfOneSecondMovesTheSolutionFarAway) {
  const zlogsim::TruthModel truth(elsewhere());
  const GpsTime reading = zlogsim::addSeconds(elsewhere().start, 100.0);
  const auto observed = exactPseudoranges(truth, reading);
  const auto solution =
      solvePointPosition(truth.constellation(), zlogsim::addSeconds(reading, 1.0), observed);
  ASSERT_TRUE(solution);
  EXPECT_GT(zlogsim::norm(solution->position - truth.receiver()), 100.0);
}

TEST(PointPositioning, NeedsFourSatellites) {
  const zlogsim::TruthModel truth(elsewhere());
  const GpsTime reading = elsewhere().start;
  auto observed = exactPseudoranges(truth, reading);
  observed.resize(3);
  EXPECT_FALSE(solvePointPosition(truth.constellation(), reading, observed));
}

}  // namespace
}  // namespace kapolex::physical
