#include "qc/timeline.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace kapolex {
namespace {

TEST(Timeline, ReceiveTimesRoundToTheNearestNanosecond) {
  struct Case {
    double receiveTime;
    std::int64_t nanos;
  };
  const Case cases[] = {{0.0, 0},
                        {0.1, 100'000'000},
                        {1.0000000004, 1'000'000'000},
                        {1.0000000006, 1'000'000'001},
                        {604799.999999999, 604'799'999'999'999},
                        {604799.9999999995, 604'800'000'000'000},
                        {2147483647.0, 2'147'483'647'000'000'000}};
  for (const Case& c : cases) EXPECT_EQ(receiveTimeNanos(c.receiveTime), c.nanos) << c.receiveTime;
}

TEST(Timeline, AnEarlierTimeIsARolloverOnlyWithinADayOfTheWeekEnd) {
  struct Case {
    double previous, current;
    TimeStep step;
  };
  const Case cases[] = {
      {10.0, 11.0, TimeStep::forward},         {10.0, 10.0, TimeStep::repeated},
      {604799.0, 0.0, TimeStep::weekRollover}, {604000.0, 100.0, TimeStep::weekRollover},
      {518400.0, 0.0, TimeStep::weekRollover},  // a day exactly
      {518399.0, 0.0, TimeStep::backward},      // a second more
      {604799.0, 86400.5, TimeStep::backward}, {1000.0, 999.0, TimeStep::backward},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(classifyTimeStep(c.previous, c.current), c.step) << c.previous << " -> " << c.current;
  }
}

constexpr std::int64_t second = nanosPerSecond;

TEST(Timeline, InstantsCountFromTheAnchorAcrossWeeks) {
  struct Case {
    std::int32_t week;
    double receiveTime;
    std::int64_t instant;
  };
  const TimelineAnchor anchor(1356, 604790.0);
  const Case cases[] = {
      {1356, 604790.0, 0},
      {1356, 604795.5, 5'500'000'000},
      {1357, 5.0, 15 * second},
      {1356, 100.0, -604'690 * second},  // earlier in the week: a damaged log
      {1356 + timelineWeekLimit, 604790.0, timelineWeekLimit * nanosPerWeek},
      {1356 + timelineWeekLimit + 9, 604790.0, timelineWeekLimit * nanosPerWeek},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(anchor.instant(c.week, c.receiveTime), c.instant) << c.week << "/" << c.receiveTime;
  }
}

TEST(Timeline, AnInstantDatesBackToAWeekAndSecondsOfWeek) {
  struct Case {
    std::int64_t instant;
    std::int32_t week;
    double secondsOfWeek;
  };
  const TimelineAnchor anchor(1356, 10.0);
  const Case cases[] = {
      {0, 1356, 10.0},
      {604'789 * second, 1356, 604799.0},
      {604'790 * second, 1357, 0.0},
      {604'790 * second + 250'000'000, 1357, 0.25},
      {-10 * second, 1356, 0.0},
      {-10 * second - 1, 1355, 604799.999999999},
      {-20 * second, 1355, 604790.0},
      {-(nanosPerWeek + 10 * second), 1355, 0.0},
  };
  for (const Case& c : cases) {
    const GpsTime time = anchor.timeOf(c.instant);
    EXPECT_EQ(time.week, c.week) << c.instant;
    EXPECT_EQ(time.secondsOfWeek, c.secondsOfWeek) << c.instant;
  }
  EXPECT_EQ(anchor.nanosOfWeek(), 10 * second);
}

}  // namespace
}  // namespace kapolex
