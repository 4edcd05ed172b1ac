#include "run/option_values.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace kapolex {
namespace {

constexpr std::int32_t largest = std::numeric_limits<std::int32_t>::max();

TEST(OptionValues, WholeNumbersAreDigitsWithinTheirRange) {
  struct Case {
    const char* text;
    std::int32_t low, high;
    std::optional<std::int32_t> value;
  };
  const Case cases[] = {
      {"5", 1, 3600, 5},
      {"+30", 1, 3600, 30},
      {"0030", 1, 3600, 30},
      {"1", 1, 3600, 1},
      {"3600", 1, 3600, 3600},
      {"3601", 1, 3600, {}},
      {"0", 1, 3600, {}},
      {"-1", -5, 3600, {}},
      {"-0", 0, 3600, {}},
      {"+", 1, 3600, {}},
      {"++5", 1, 3600, {}},
      {"", 1, 3600, {}},
      {" 5", 1, 3600, {}},
      {"5 ", 1, 3600, {}},
      {"1e3", 1, 3600, {}},
      {"2.0", 1, 3600, {}},
      {"2147483647", 1, largest, largest},
      {"2147483648", 1, largest, {}},
      {"99999999999999999999", 1, largest, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(wholeNumber(c.text, c.low, c.high), c.value) << c.text;
}

TEST(OptionValues, DecimalNumbersAreFiniteAndWhollyNumeric) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"1", 1.0},     {"-1.5", -1.5},  {".25", 0.25}, {"5.", 5.0},   {"2e3", 2000.0},
      {"1E-2", 0.01}, {"+.5e+1", 5.0}, {"0.1", 0.1},  {".", {}},     {"e3", {}},
      {"1e", {}},     {"1e+", {}},     {"", {}},      {"-", {}},     {"0x1", {}},
      {"nan", {}},    {"inf", {}},     {"1e999", {}}, {"1,5", {}},   {" 1", {}},
      {"1 ", {}},     {"1.2.3", {}},   {"--1", {}},   {"1e3.5", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(decimalNumber(c.text), c.value) << c.text;
  // The sign of zero is kept: the header writes what was given.
  EXPECT_TRUE(std::signbit(decimalNumber("-0").value()));
}

TEST(OptionValues, ThreeNumbersAreSeparatedByCommas) {
  struct Case {
    const char* text;
    std::optional<Coordinates> value;
  };
  const Case cases[] = {
      {"1,2,3", Coordinates{1.0, 2.0, 3.0}},
      {"-1.5,2e3,.25", Coordinates{-1.5, 2000.0, 0.25}},
      {"1,2", {}},
      {"1,2,3,4", {}},
      {",2,3", {}},
      {"1,,3", {}},
      {"1,2,3,", {}},
      {"1;2;3", {}},
      {"1, 2, 3", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(threeNumbers(c.text), c.value) << c.text;
}

TEST(OptionValues, DatesGiveTheGpsWeekThatHoldsThem) {
  struct Case {
    const char* date;
    std::optional<std::int32_t> week;
  };
  const Case cases[] = {
      {"1980-01-06", 0},    {"1980-01-12", 0},    {"1980-01-13", 1},      {"1999-08-21", 1023},
      {"1999-08-22", 1024}, {"2006-01-01", 1356}, {"2006-01-07", 1356},   {"2006-01-08", 1357},
      {"2016-02-29", 1886}, {"2019-04-07", 2048}, {"9999-12-31", 418462}, {"1980-01-05", {}},
      {"2006-02-29", {}},   {"2000-02-29", 1051}, {"1900-02-29", {}},     {"2006-13-01", {}},
      {"2006-00-10", {}},   {"2006-01-00", {}},   {"2006-1-01", {}},      {"2006/01/01", {}},
      {"20060101", {}},     {"2006-01-01 ", {}},  {"+006-01-01", {}},     {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(gpsWeekOfDate(c.date), c.week) << c.date;
}

// A time window's edges: GPS date-times to whole seconds from the GPS epoch.
TEST(OptionValues, DateTimesGiveWholeGpsSeconds) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> second;
  };
  const Case cases[] = {
      {"1980-01-06T00:00:00", 0},
      {"1980-01-06 00:00:01", 1},
      {"1980-01-12T23:59:59", 604799},
      {"2006-01-18T11:20:00", 1358 * 604800LL + 3 * 86400 + 11 * 3600 + 20 * 60},
      {"2016-02-29 12:00:00", 1886 * 604800LL + 86400 + 12 * 3600},
      {"1980-01-05T23:59:59", {}},    // before the GPS epoch
      {"2006-01-18T24:00:00", {}},    // hours go to 23
      {"2006-01-18T11:60:00", {}},    // minutes to 59
      {"2006-01-18T11:20:60", {}},    // GPS time has no leap second
      {"2006-02-29T00:00:00", {}},    // no such day
      {"2006-01-18T11:20:00.5", {}},  // whole seconds only
      {"2006-01-18T11:20", {}},       // seconds are not left out
      {"2006-01-18", {}},             // nor the time of day
      {"2006-01-18t11:20:00", {}},    // the separator is T or a blank
      {"2006-01-18_11:20:00", {}},
      {"2006-01-18T11-20-00", {}},
      {"2006-01-18T+1:20:00", {}},
      {" 2006-01-18T11:20:0", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(gpsSecondOfDateTime(c.text), c.second) << c.text;
}

}  // namespace
}  // namespace kapolex
