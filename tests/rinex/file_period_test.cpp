#include "rinex/file_period.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace kapolex {
namespace {

constexpr std::int64_t day = 86400;
// The units by the letters names state them by.
constexpr PeriodUnit M = PeriodUnit::minute;
constexpr PeriodUnit H = PeriodUnit::hour;
constexpr PeriodUnit D = PeriodUnit::day;
constexpr PeriodUnit Y = PeriodUnit::year;

TEST(FilePeriod, UnitsHaveTheirLengthsAndLetters) {
  struct Case {
    FilePeriod period;
    std::int64_t seconds;
    char code;
  };
  const Case cases[] = {
      {{1, M}, 60, 'M'},        {{15, M}, 900, 'M'},
      {dailyPeriod, day, 'D'},  {hourlyPeriod, 3600, 'H'},
      {{6, H}, 6 * 3600, 'H'},  {{99, D}, 99 * day, 'D'},
      {{1, Y}, 365 * day, 'Y'}, {{99, Y}, 99 * 365 * day, 'Y'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.period.seconds(), c.seconds) << c.period.count() << c.period.unitCode();
    EXPECT_EQ(c.period.unitCode(), c.code);
  }
}

TEST(FilePeriod, PeriodsRoundUpToAWholeUnit) {
  struct Case {
    std::int64_t seconds;
    FilePeriod expected;
  };
  const Case cases[] = {
      {-1, {1, M}},
      {0, {1, M}},
      {1, {1, M}},
      {60, {1, M}},
      {61, {2, M}},
      {900, {15, M}},
      {3540, {59, M}},
      {3541, {1, H}},
      {3600, {1, H}},
      {3601, {2, H}},
      {6 * 3600, {6, H}},
      {day - 1, {1, D}},
      {day, {1, D}},
      {day + 1, {2, D}},
      {3 * day, {3, D}},
      {7 * day, {7, D}},
      {99 * day, {99, D}},
      {99 * day + 1, {1, Y}},
      {365 * day, {1, Y}},
      {365 * day + 1, {2, Y}},
      {1000 * 365 * day, {99, Y}},
  };
  for (const Case& c : cases) {
    const FilePeriod period = FilePeriod::covering(c.seconds);
    EXPECT_EQ(period, c.expected) << c.seconds << " s gave " << period.count() << period.unitCode();
  }
}

// RINEX 2's hour letter: only for a period that ends within its start's
// hour, checked against the minutes left in that hour.
TEST(FilePeriod, EndsWithinTheHourOnlyWhenTheMinutesLeftHoldIt) {
  for (std::int32_t count = 1; count <= FilePeriod::largestCount; ++count) {
    for (std::int32_t minuteOfHour = 0; minuteOfHour < 60; ++minuteOfHour) {
      const std::int32_t minutesLeft = 60 - minuteOfHour;
      EXPECT_EQ(FilePeriod(count, M).endsWithinHourFrom(minuteOfHour), count <= minutesLeft)
          << count << "M from minute " << minuteOfHour;
      EXPECT_EQ(FilePeriod(count, H).endsWithinHourFrom(minuteOfHour),
                count == 1 && minuteOfHour == 0)
          << count << "H from minute " << minuteOfHour;
      EXPECT_FALSE(FilePeriod(count, D).endsWithinHourFrom(minuteOfHour));
      EXPECT_FALSE(FilePeriod(count, Y).endsWithinHourFrom(minuteOfHour));
    }
  }
}

}  // namespace
}  // namespace kapolex
