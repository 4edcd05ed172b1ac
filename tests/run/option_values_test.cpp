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

}  // namespace
}  // namespace kapolex
