#include "common/numeric.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kapolex {
namespace {

TEST(Numeric, IntegerPartTruncatesTowardZeroAndNeverOverflows) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {2.9999999, 2},
      {-2.9999999, -2},
      {2147483646.9, 2147483646},
      {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
      {2147483648.0, std::numeric_limits<std::int32_t>::max()},
      {1e300, std::numeric_limits<std::int32_t>::max()},
      {-1e300, std::numeric_limits<std::int32_t>::min()},
      {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
      {std::nan(""), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(integerPart(c.x), c.expected) << c.x;
}

TEST(Numeric, NearestIntegerRoundsHalvesAwayFromZero) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {0.0, 0},   {4.5, 5},  {5.4999, 5}, {5.5, 6},   {-4.5, -5},
      {-5.4, -5}, {9.6, 10}, {0.4999, 0}, {-0.5, -1}, {0.49999999999999994, 1},
  };
  // 0.49999999999999994 + 0.5 rounds to 1.0 in double: the sum is rounded first.
  for (const Case& c : cases) EXPECT_EQ(nearestInteger(c.x), c.expected) << c.x;
}

}  // namespace
}  // namespace kapolex
