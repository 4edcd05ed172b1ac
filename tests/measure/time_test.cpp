#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "measure/calendar.hpp"
#include "measure/gps_time.hpp"

namespace kapolex {
namespace {

constexpr std::int32_t maxWeek = std::numeric_limits<std::int32_t>::max();

TEST(GpsTime, ScreeningAndKeepDecision) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double kept[] = {0.0, -0.0, 4.5, 5.4999, 9.6, 604795.0, 2147483645.0};
  const double dropped[] = {5.5, 4.4999, 2147483647.0, std::nextafter(2147483647.5, 0.0)};
  const double unusable[] = {-1e-300, -5.0, nan, inf, -inf, 2147483647.5, 1e300};
  for (double t : kept) EXPECT_TRUE(isUsableReceiveTime(t) && keepEpoch(t)) << t;
  for (double t : dropped) EXPECT_TRUE(isUsableReceiveTime(t) && !keepEpoch(t)) << t;
  for (double t : unusable) EXPECT_FALSE(isUsableReceiveTime(t)) << t;
}

TEST(GpsTime, WeekStepsAndTheirSaturation) {
  struct Case {
    std::int32_t week;
    double previous, receiveTime;
    std::int32_t expected;
  };
  const Case cases[] = {{1356, 604795.0, 0.0, 1357},
                        {1356, 5.0, 5.0, 1356},
                        {1356, 10.0, 9.999999, 1357},
                        {1356, 0.0, 604800.5, 1356},
                        {maxWeek, 1.0, 0.0, maxWeek}};
  for (const Case& c : cases) {
    WeekTracker weeks(c.week);
    weeks.follow(c.previous);
    ASSERT_EQ(weeks.week(), c.week);
    weeks.follow(c.receiveTime);
    EXPECT_EQ(weeks.week(), c.expected) << c.previous << " -> " << c.receiveTime;
    EXPECT_EQ(weeks.previousReceiveTime(), c.receiveTime);
  }
  // The week-end wrap moves a time once, and its local week saturates too.
  EXPECT_EQ(weekEndWrap(1356, 1209600.5).week, 1357);
  EXPECT_EQ(weekEndWrap(1356, 1209600.5).secondsOfWeek, 604800.5);
  EXPECT_EQ(weekEndWrap(maxWeek, 604800.0).week, maxWeek);
}

// The week whose receive time lies closest to the clock, at both ends of a
// week: a log just past midnight of Sunday read while the clock still
// shows the previous Saturday (a clock a little slow), and a log from the
// week's last minutes read early in the next week.
TEST(GpsTime, ClosestWeekToTheClock) {
  constexpr std::int64_t week = 604800;
  struct Case {
    double receiveTime;
    std::int64_t now;
    std::int32_t expected;
  };
  const Case cases[] = {
      {10.0, 2345 * week - 30, 2345},          // the clock at the previous week's end
      {604790.0, 2346 * week + 20, 2345},      // the clock at the next week's start
      {604790.0, 2345 * week + 604795, 2345},  // live
      {3600.0, 2345 * week + 3 * 86400, 2345},
      {0.0, 2345 * week + week / 2, 2345},  // half a week either way: the earlier
      {0.0, 2345 * week + week / 2 + 1, 2346},
      {604799.6, 2346 * week, 2345},  // by its whole second: 604800 is the next week's 0
      {600.0, 600, 1},                // never before week 1
      {0.0, -5 * week, 1},
      {0.0, std::int64_t{maxWeek} * week + 3 * week, maxWeek},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(closestWeek(c.receiveTime, c.now), c.expected) << c.receiveTime << " " << c.now;
  }
}

TEST(GpsTime, DatingWithMinuteGuardAndWeekEndWrap) {
  struct Case {
    std::int32_t week;
    double receiveTime;
    bool guarded;
    EpochTime expected;
    const char* printedSecond;
  };
  const Case cases[] = {
      {1356, 0.0, false, {2006, 1, 1, 0, 0, 0.0}, "0.0000000"},
      {1356, 432017.5, false, {2006, 1, 6, 0, 0, 17.5}, "17.5000000"},
      {1357, 0.0, false, {2006, 1, 8, 0, 0, 0.0}, "0.0000000"},
      {1356, 59.99999998, true, {2006, 1, 1, 0, 1, 2.99e-8}, "0.0000000"},
      {1356, 604799.99999998, true, {2006, 1, 8, 0, 0, 2.99e-8}, "0.0000000"},
      {1356, 59.99999995, false, {2006, 1, 1, 0, 0, 59.99999995}, "59.9999999"},
  };
  for (const Case& c : cases) {
    const double s0 = minuteTestValue(c.receiveTime);
    EXPECT_EQ(minuteGuard(c.receiveTime, s0) != c.receiveTime, c.guarded) << c.receiveTime;
    const EpochTime time = epochTimeOf(c.week, c.receiveTime, s0);
    const EpochTime& e = c.expected;
    EXPECT_EQ((std::array{time.year, time.month, time.day, time.hour, time.minute}),
              (std::array{e.year, e.month, e.day, e.hour, e.minute}))
        << c.receiveTime;
    EXPECT_NEAR(time.second, e.second, 2e-10) << c.receiveTime;
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", time.second);
    EXPECT_STREQ(text, c.printedSecond) << c.receiveTime;
  }
}

// Compares calendarTimeOfWeekSeconds with the civil calendar of std::chrono. The time of day is
// compared as a sum: where the day fraction rounds just below a whole hour or
// minute, hour or minute come out one step low with a second near 60.
void expectCivilTime(std::int32_t week, double secondsOfWeek, bool checkDate) {
  const double dayOfWeek = std::floor(secondsOfWeek / 86400.0);
  const std::chrono::sys_days day = std::chrono::sys_days{std::chrono::year{1980} / 1 / 6} +
                                    std::chrono::days{std::int64_t{7} * week + int(dayOfWeek)};
  const std::chrono::year_month_day date{day};
  const EpochTime time = calendarTimeOfWeekSeconds(week, secondsOfWeek);
  if (checkDate) {
    EXPECT_EQ(time.year, int(date.year())) << week << " " << secondsOfWeek;
    EXPECT_EQ(time.month, int(unsigned(date.month()))) << week << " " << secondsOfWeek;
    EXPECT_EQ(time.day, int(unsigned(date.day()))) << week << " " << secondsOfWeek;
  }
  EXPECT_NEAR(time.hour * 3600.0 + time.minute * 60.0 + time.second,
              secondsOfWeek - dayOfWeek * 86400.0, 1e-6)
      << week << " " << secondsOfWeek;
}

// The conversion counts a leap day every fourth year, which matches the civil
// calendar from 1900-03-01 up to 2100-02-28 (a Sunday, GPS week 6269).
TEST(Calendar, WholeSecondsMatchTheCivilCalendarFrom1980To2100) {
  for (std::int32_t day = 0; day <= 6269 * 7; ++day) {
    for (double timeOfDay : {0.0, 1.0, 3599.0, 3600.0, 43200.0, 86340.0, 86399.0}) {
      expectCivilTime(day / 7, (day % 7) * 86400.0 + timeOfDay, true);
    }
    if (HasFailure()) return;
  }
}

TEST(Calendar, RandomSecondsMatchAwayFromMidnight) {
  // The day fraction is added to a Julian day near 2.4e6, where a double
  // resolves about 4e-5 s: within 1e-4 s of midnight the date may
  // legitimately be a day late. Elsewhere the date is exact.
  std::mt19937_64 random(20060101);
  std::uniform_int_distribution<std::int32_t> weeks(0, 6268);
  std::uniform_real_distribution<double> seconds(0.0, 604800.0);
  for (int i = 0; i < 200000 && !HasFailure(); ++i) {
    const std::int32_t week = weeks(random);
    const double s = seconds(random);
    expectCivilTime(week, s, std::fmod(s, 86400.0) < 86400.0 - 1e-4);
  }
}

TEST(Calendar, ExtremeDaysStayDefinedAndKeepTheTimeOfDay) {
  for (const EpochTime& time :
       {calendarTimeOfWeekSeconds(maxWeek, 561600.0), calendarTimeOfMjd(maxWeek, 0.5),
        calendarTimeOfMjd(std::numeric_limits<std::int32_t>::min(), 0.5)}) {
    EXPECT_EQ(time.hour * 60 + time.minute, 12 * 60);
    EXPECT_NEAR(time.second, 0.0, 1e-6);
  }
}

// The day fraction takes the exact remainder of a day without the library's
// remainder; it must be the same double for any seconds of the week, and for
// times beyond the week that the week-end wrap and the minute guard produce.
TEST(Calendar, DayFractionIsTheExactRemainderOfADay) {
  std::mt19937_64 random(86400);
  std::uniform_real_distribution<double> seconds(0.0, 2.0 * 604800.0);
  std::vector<double> times{0.0,
                            -0.0,
                            86400.0,
                            std::nextafter(86400.0, 0.0),
                            std::nextafter(86400.0, 1e9),
                            604800.0,
                            604799.99999998,
                            172800.00000001,
                            0x1p52,
                            0x1p53 + 2.0,
                            -3600.5};
  for (int day = 0; day <= 14; ++day) {
    for (const double offset : {-1e-9, 0.0, 1e-9}) times.push_back(day * 86400.0 + offset);
  }
  for (int trial = 0; trial < 200000; ++trial) times.push_back(seconds(random));
  for (const double t : times) {
    const double expected = std::fmod(t, 86400.0) * 1.1574074074074073e-05;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(dayFraction(t)), std::bit_cast<std::uint64_t>(expected))
        << std::hexfloat << t;
  }
}

TEST(Calendar, CivilDatesAgreeWithTheCalendarConversion) {
  // Every day from 1980 to 2100 goes back to itself through calendarTimeOfMjd.
  for (std::int32_t mjd = 44239; mjd < 88069; ++mjd) {
    const EpochTime date = calendarTimeOfMjd(mjd, 0.0);
    ASSERT_TRUE(isCivilDate(date.year, date.month, date.day)) << mjd;
    ASSERT_EQ(mjdOfDate(date.year, date.month, date.day), mjd) << mjd;
  }
}

// An epoch's whole GPS second rounds its receive time as the decimation does,
// and goes back to the calendar time the epoch lines print, from 1980 to 2100.
TEST(GpsTime, WholeSecondsOfEpochsAndTheirCalendarTimes) {
  EXPECT_EQ(gpsSecondOfEpoch(1356, 4.4999), 1356 * 604800LL + 4);
  EXPECT_EQ(gpsSecondOfEpoch(1356, 4.5), 1356 * 604800LL + 5);
  EXPECT_EQ(gpsSecondOfEpoch(1356, 604799.6), 1357 * 604800LL);
  EXPECT_EQ(gpsSecondOfEpoch(1356, 1209600.2), 1358 * 604800LL);  // past the week's end
  std::mt19937_64 random(7);
  // From 1980-01-06 to 2100-02-28.
  std::uniform_int_distribution<std::int64_t> seconds(0, 3791318399);
  for (int trial = 0; trial < 100000; ++trial) {
    const std::int64_t second = seconds(random);
    const EpochTime time = calendarTimeOfGpsSecond(second);
    const auto days =
        std::chrono::sys_days{std::chrono::year{1980} / 1 / 6} + std::chrono::days{second / 86400};
    const std::chrono::year_month_day date{days};
    ASSERT_EQ(time.year, static_cast<int>(date.year())) << second;
    ASSERT_EQ(time.month, static_cast<int>(static_cast<unsigned>(date.month()))) << second;
    ASSERT_EQ(time.day, static_cast<int>(static_cast<unsigned>(date.day()))) << second;
    ASSERT_EQ(time.hour * 3600 + time.minute * 60 + time.second, second % 86400) << second;
    // The same date as the epoch line of a receive time on that second.
    const EpochTime dated = epochTimeOf(static_cast<std::int32_t>(second / 604800),
                                        static_cast<double>(second % 604800), 0.0);
    ASSERT_EQ(dated.day, time.day) << second;
  }
}

}  // namespace
}  // namespace kapolex
