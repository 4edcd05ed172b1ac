#include "run/named_files.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kapolex {
namespace {

constexpr std::int64_t day = 86400;
constexpr std::int64_t hour = 3600;

// The period boundary: each epoch's whole second, whether it starts a new
// file, and the start of the period it is filed in.
TEST(FileSplitter, EpochsStartAFileAtTheFirstEpochOfEachLaterPeriod) {
  struct Step {
    std::int64_t second;
    bool startsNewFile;
    std::int64_t periodStart;
  };
  struct Case {
    const char* name;
    FilePeriod period;
    std::vector<Step> steps;
  };
  const std::int64_t week1356 = 1356 * 7 * day;
  const Case cases[] = {
      {"days: midnight belongs to the new day, the second before it to the old",
       dailyPeriod,
       {{week1356 + 5, true, week1356},
        {week1356 + day - 1, false, week1356},
        {week1356 + day, true, week1356 + day},
        {week1356 + 2 * day - 30, false, week1356 + day}}},
      {"a day without epochs is skipped, and the next file starts at its own midnight",
       dailyPeriod,
       {{week1356 + 100, true, week1356},
        {week1356 + 2 * day + 7 * hour, true, week1356 + 2 * day}}},
      {"hours, across midnight",
       hourlyPeriod,
       {{week1356 + day - hour - 5, true, week1356 + day - 2 * hour},
        {week1356 + day - hour, true, week1356 + day - hour},
        {week1356 + day - 1, false, week1356 + day - hour},
        {week1356 + day, true, week1356 + day}}},
      {"an epoch dated before its file's period stays in the file",
       hourlyPeriod,
       {{week1356 + 3 * hour, true, week1356 + 3 * hour},
        {week1356 + 3 * hour - 5, false, week1356 + 3 * hour},
        {week1356 + hour, false, week1356 + 3 * hour},
        {week1356 + 4 * hour, true, week1356 + 4 * hour}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileSplitter splitter(c.period);
    EXPECT_EQ(splitter.period(), c.period);
    for (const Step& step : c.steps) {
      EXPECT_EQ(splitter.startsNewFile(step.second), step.startsNewFile) << step.second;
      EXPECT_EQ(splitter.periodStart(), step.periodStart) << step.second;
    }
  }
}

}  // namespace
}  // namespace kapolex
