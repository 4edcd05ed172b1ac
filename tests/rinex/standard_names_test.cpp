#include "rinex/standard_names.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstdint>
#include <string>

namespace kapolex {
namespace {

TEST(StandardNames, Rinex2Names) {
  struct Case {
    const char* station;
    EpochTime start;
    FilePeriod period;
    const char* expected;
  };
  const Case cases[] = {
      {"PIL7", {2006, 1, 18, 0, 0, 0.0}, dailyPeriod, "pil70180.06o"},
      {"pil7", {2006, 1, 1, 0, 0, 0.0}, dailyPeriod, "pil70010.06o"},
      {"AB12", {2004, 12, 31, 0, 0, 0.0}, dailyPeriod, "ab123660.04o"},
      {"AB12", {2006, 1, 18, 0, 0, 0.0}, hourlyPeriod, "ab12018a.06o"},
      {"AB12", {2006, 1, 18, 11, 0, 0.0}, hourlyPeriod, "ab12018l.06o"},
      {"AB12", {2006, 1, 18, 23, 0, 0.0}, hourlyPeriod, "ab12018x.06o"},
      {"AB12", {2000, 3, 1, 0, 0, 0.0}, dailyPeriod, "ab120610.00o"},
      {"AB12", {1999, 12, 31, 0, 0, 0.0}, dailyPeriod, "ab123650.99o"},
      {"AB12", {2100, 12, 31, 0, 0, 0.0}, dailyPeriod, "ab123650.00o"},
      // An unsplit file: one within an hour takes the hour's letter; any
      // longer one is session 0, so as not to take an hourly file's name.
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {15, PeriodUnit::minute}, "ab12018l.06o"},
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {40, PeriodUnit::minute}, "ab12018l.06o"},
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {41, PeriodUnit::minute}, "ab120180.06o"},
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {1, PeriodUnit::hour}, "ab120180.06o"},
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {6, PeriodUnit::hour}, "ab120180.06o"},
      {"AB12", {2006, 1, 18, 11, 20, 35.0}, {3, PeriodUnit::day}, "ab120180.06o"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rinex2FileName(c.station, c.start, c.period), c.expected);
    EXPECT_EQ(rinex2Dialect.names.fileName(c.station, c.start, c.period, 5), c.expected);
  }
}

// Dates no file can carry (an absurd week, a damaged log) still give names
// of letters, digits, '_' and '.', never a character that leads elsewhere.
TEST(StandardNames, AbsurdDatesGiveNamesThatStayInTheirFolder) {
  const EpochTime dates[] = {{-4, 13, 40, 30, -7, 0.0},
                             {-2147483647, -1, -1, -1, -1, -1.0},
                             {123456, 12, 31, 23, 59, 59.0}};
  for (const EpochTime& date : dates) {
    for (const FilePeriod period : {dailyPeriod, hourlyPeriod, FilePeriod{3, PeriodUnit::hour}}) {
      for (const RinexDialect* dialect : {&rinex2Dialect, &rinex3Dialect}) {
        const std::string name = dialect->names.fileName("AB12", date, period, 5);
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
          return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 c == '_' || c == '.';
        })) << name;
      }
    }
  }
}

TEST(StandardNames, Rinex3Names) {
  struct Case {
    const char* station;
    EpochTime start;
    FilePeriod period;
    std::int32_t interval;
    const char* expected;
  };
  const Case cases[] = {
      {"PIL7", {2006, 1, 18, 0, 0, 0.0}, dailyPeriod, 5, "PIL700XXX_R_20060180000_01D_05S_GO.rnx"},
      {"pil7", {2006, 1, 1, 0, 0, 0.0}, dailyPeriod, 30, "PIL700XXX_R_20060010000_01D_30S_GO.rnx"},
      {"AB12",
       {2004, 12, 31, 23, 0, 0.0},
       hourlyPeriod,
       1,
       "AB1200XXX_R_20043662300_01H_01S_GO.rnx"},
      {"brux12bel",
       {2000, 3, 1, 0, 0, 0.0},
       hourlyPeriod,
       60,
       "BRUX12BEL_R_20000610000_01H_01M_GO.rnx"},
      {"AB12",
       {2006, 1, 18, 11, 20, 35.0},
       {15, PeriodUnit::minute},
       7,
       "AB1200XXX_R_20060181120_15M_07S_GO.rnx"},
      {"AB12",
       {2006, 1, 18, 11, 20, 0.0},
       {3, PeriodUnit::day},
       150,
       "AB1200XXX_R_20060181120_03D_00U_GO.rnx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rinex3FileName(c.station, c.start, c.period, c.interval), c.expected);
    EXPECT_EQ(rinex3Dialect.names.fileName(c.station, c.start, c.period, c.interval), c.expected);
  }
}

TEST(StandardNames, DayOfYearAgreesWithTheCalendarTypes) {
  using namespace std::chrono;
  for (const int y : {1999, 2000, 2004, 2006, 2100}) {
    for (sys_days day = sys_days(year(y) / 1 / 1); day < sys_days(year(y + 1) / 1 / 1);
         day += days(1)) {
      const year_month_day date(day);
      const EpochTime start{y,
                            static_cast<int>(static_cast<unsigned>(date.month())),
                            static_cast<int>(static_cast<unsigned>(date.day())),
                            0,
                            0,
                            0.0};
      const auto dayOfYear = (day - sys_days(year(y) / 1 / 1)).count() + 1;
      ASSERT_EQ(std::stoi(rinex2FileName("AB12", start, dailyPeriod).substr(4, 3)), dayOfYear)
          << y << "-" << start.month << "-" << start.day;
      ASSERT_EQ(std::stoi(rinex3FileName("AB12", start, dailyPeriod, 5).substr(16, 3)), dayOfYear);
    }
  }
}

TEST(StandardNames, IntervalsTakeTheLargestExactUnit) {
  struct Case {
    std::int32_t seconds;
    const char* expected;
  };
  const Case cases[] = {
      {1, "01S"},    {5, "05S"},     {7, "07S"},    {30, "30S"},   {59, "59S"},
      {60, "01M"},   {90, "90S"},    {99, "99S"},   {100, "00U"},  {120, "02M"},
      {150, "00U"},  {900, "15M"},   {3599, "00U"}, {3600, "01H"}, {5400, "90M"},
      {7200, "02H"}, {86400, "01D"}, {0, "00U"},    {-5, "00U"},
  };
  for (const Case& c : cases) EXPECT_EQ(intervalCode(c.seconds), c.expected) << c.seconds;
}

TEST(StandardNames, PeriodOfAnUnsplitFileRunsFromItsFirstMinute) {
  struct Case {
    EpochTime first;
    EpochTime last;
    std::int32_t interval;
    FilePeriod expected;
  };
  const Case cases[] = {
      {{2006, 1, 18, 0, 0, 0.0}, {2006, 1, 18, 23, 59, 55.0}, 5, dailyPeriod},
      // Receive times off the whole second do not add a day.
      {{2006, 1, 18, 0, 0, 0.0003}, {2006, 1, 18, 23, 59, 55.0003}, 5, dailyPeriod},
      {{2006, 1, 18, 0, 0, 0.0}, {2006, 1, 19, 0, 0, 0.0}, 5, {2, PeriodUnit::day}},
      {{2006, 1, 18, 11, 20, 3.0}, {2006, 1, 18, 13, 5, 0.0}, 5, {2, PeriodUnit::hour}},
      {{2006, 1, 18, 11, 20, 35.0}, {2006, 1, 18, 11, 20, 35.0}, 30, {2, PeriodUnit::minute}},
      {{2006, 1, 18, 11, 0, 0.0}, {2006, 1, 18, 11, 14, 59.0}, 1, {15, PeriodUnit::minute}},
      {{2005, 12, 31, 23, 0, 0.0}, {2006, 1, 1, 0, 59, 30.0}, 30, {2, PeriodUnit::hour}},
      {{2006, 1, 1, 0, 0, 0.0}, {2006, 1, 3, 23, 59, 30.0}, 30, {3, PeriodUnit::day}},
  };
  for (const Case& c : cases) {
    const FilePeriod period = periodOfEpochs(c.first, c.last, c.interval);
    EXPECT_EQ(period, c.expected) << c.first.hour << ":" << c.first.minute << " gave "
                                  << period.count() << period.unitCode();
  }
}

TEST(StandardNames, StationIds) {
  struct Case {
    const char* id;
    bool rinex2;
    bool rinex3;
  };
  const Case cases[] = {
      {"PIL7", true, true},        {"pil7", true, true},         {"0000", true, true},
      {"ABCD00XXX", false, true},  {"abcd12usa", false, true},   {"", false, false},
      {"AB1", false, false},       {"ABCDE", false, false},      {"AB D", false, false},
      {"AB/D", false, false},      {"AB.D", false, false},       {"AB\xc3\x84", false, false},
      {"ABCDX0XXX", false, false}, {"ABCD0XXXX", false, false},  {"ABCD00X1X", false, false},
      {"ABCD00XX ", false, false}, {"ABCD00XXX0", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rinex2Dialect.names.isStationId(c.id), c.rinex2) << c.id;
    EXPECT_EQ(rinex3Dialect.names.isStationId(c.id), c.rinex3) << c.id;
  }
  struct Default {
    const char* markerName;
    const char* expected;
  };
  const Default defaults[] = {
      {"XXXX", "XXXX"}, {"PIL7 by the river", "PIL7"}, {"BRUX00BEL", "BRUX"},
      {"ab", "XXXX"},   {"my site", "XXXX"},           {"", "XXXX"},
  };
  for (const Default& d : defaults) EXPECT_EQ(defaultStationId(d.markerName), d.expected);
}

}  // namespace
}  // namespace kapolex
