#include "qc/step_histogram.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kapolex {
namespace {

TEST(StepHistogram, MissingEpochsRoundHalvesUpBeyondOneAndAHalfIntervals) {
  struct Case {
    std::int64_t step, nominal, missing;
  };
  const Case cases[] = {
      {10, 0, 0},  // no interval yet
      {-30, 10, 0}, {0, 10, 0},
      {10, 10, 0},  {11, 10, 0},
      {15, 10, 0},  // 1.5 intervals: still the next epoch
      {16, 10, 1},  {20, 10, 1},
      {24, 10, 1},  {25, 10, 2},  // 2.5 intervals round up
      {35, 10, 3},  {3'600'000'000'000, 1'000'000'000, 3599},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(missingEpochs(c.step, c.nominal), c.missing) << c.step << " / " << c.nominal;
  }
}

TEST(StepHistogram, AnArcEndsWithABackwardStepOrTwoMissingEpochs) {
  struct Case {
    std::int64_t step, nominal;
    bool ends;
  };
  const Case cases[] = {{-1, 10, true},  {-1, 0, true},  {10, 10, false}, {16, 10, false},
                        {24, 10, false}, {25, 10, true}, {1000, 0, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(endsArc(c.step, c.nominal), c.ends) << c.step << " / " << c.nominal;
  }
}

TEST(StepHistogram, CountsDistinctStepsUpToItsLimit) {
  struct Add {
    std::int64_t step, from, count;
    std::size_t entry;
  };
  constexpr std::size_t full = StepHistogram::full;
  // Two entries: a third step finds no room, while the listed ones go on
  // being counted, whichever came last.
  const Add adds[] = {{10, 0, 1, 0},  {10, 10, 1, 0}, {20, 20, 1, 1},   {30, 40, 1, full},
                      {10, 70, 3, 0}, {20, 80, 2, 1}, {30, 90, 1, full}};
  StepHistogram histogram(2);
  for (const Add& add : adds) {
    EXPECT_EQ(histogram.add(add.step, add.from, add.count), add.entry) << add.step;
  }
  ASSERT_EQ(histogram.entries().size(), 2U);
  // Each entry keeps the epoch before its first occurrence.
  EXPECT_EQ(histogram.entry(0).step, 10);
  EXPECT_EQ(histogram.entry(0).count, 5);
  EXPECT_EQ(histogram.entry(0).firstAt, 0);
  EXPECT_EQ(histogram.entry(1).step, 20);
  EXPECT_EQ(histogram.entry(1).count, 3);
  EXPECT_EQ(histogram.entry(1).firstAt, 20);
  histogram.mark(1);
  histogram.mark(1);
  EXPECT_EQ(histogram.entry(0).marks, 0);
  EXPECT_EQ(histogram.entry(1).marks, 2);
}

TEST(StepHistogram, TheModeIsTheMostCommonStepAndTheShortestOfEquals) {
  struct Counted {
    std::int64_t step, count;
  };
  struct Case {
    std::vector<Counted> steps;
    std::int64_t mode;
  };
  const Case cases[] = {
      {{}, 0},
      {{{10, 1}}, 10},
      {{{10, 3}, {5, 2}}, 10},
      {{{10, 2}, {5, 2}}, 5},
      {{{7, 1}, {3, 1}, {5, 1}}, 3},
      {{{30, 1}, {20, 4}, {30, 4}}, 30},  // counted in two adds
  };
  for (const Case& c : cases) {
    StepHistogram histogram(8);
    for (const Counted& counted : c.steps) histogram.add(counted.step, 0, counted.count);
    EXPECT_EQ(histogram.mode(), c.mode) << c.steps.size() << " adds";
  }
}

}  // namespace
}  // namespace kapolex
