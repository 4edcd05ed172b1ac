#include "compat/double_bits.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace kapolex {
namespace {

// The field editors take the fast path's shift from this while compiling.
static_assert(decompose(1.0).exponent() == -doubleFractionBits);

TEST(DoubleBits, SpecialValuesHaveTheirFields) {
  using limits = std::numeric_limits<double>;
  struct Case {
    double value;
    bool negative;
    int biasedExponent;
    std::uint64_t fraction;
    std::uint64_t significand;
    int exponent;
  };
  const std::uint64_t allFraction = (std::uint64_t{1} << 52) - 1;
  const Case cases[] = {
      {0.0, false, 0, 0, 0, -1074},
      {-0.0, true, 0, 0, 0, -1074},
      {limits::denorm_min(), false, 0, 1, 1, -1074},
      {-limits::denorm_min(), true, 0, 1, 1, -1074},
      {limits::min() - limits::denorm_min(), false, 0, allFraction, allFraction, -1074},
      {limits::min(), false, 1, 0, std::uint64_t{1} << 52, -1074},
      {1.0, false, 1023, 0, std::uint64_t{1} << 52, -52},
      {-1.5, true, 1023, std::uint64_t{1} << 51, 3 * (std::uint64_t{1} << 51), -52},
      {0.1, false, 1019, 0x999999999999AULL, 0x1999999999999AULL, -56},
      {limits::max(), false, 2046, allFraction, (std::uint64_t{1} << 53) - 1, 971},
      // No significand or exponent: an infinity is no finite number's.
      {limits::infinity(), false, 2047, 0, 0, 0},
      {-limits::infinity(), true, 2047, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const DoubleBits parts = decompose(c.value);
    EXPECT_EQ(parts.negative(), c.negative) << c.value;
    EXPECT_EQ(parts.biasedExponent(), c.biasedExponent) << c.value;
    EXPECT_EQ(parts.fraction(), c.fraction) << c.value;
    EXPECT_EQ(parts.isFinite(), std::isfinite(c.value)) << c.value;
    if (!parts.isFinite()) continue;
    EXPECT_EQ(parts.significand(), c.significand) << c.value;
    EXPECT_EQ(parts.exponent(), c.exponent) << c.value;
  }
  const DoubleBits nan = decompose(limits::quiet_NaN());
  EXPECT_FALSE(nan.isFinite());
  EXPECT_EQ(nan.biasedExponent(), 2047);
  EXPECT_NE(nan.fraction(), 0u);
  EXPECT_TRUE(decompose(-limits::quiet_NaN()).negative());
}

// Random bit patterns: the fields put back together give the same bits, and
// a finite value is exactly its sign times significand * 2^exponent.
TEST(DoubleBits, RandomValuesRecompose) {
  std::mt19937_64 random(20060104);
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t bits = random();
    const auto value = bitCast<double>(bits);
    const DoubleBits parts = decompose(value);
    const std::uint64_t rebuilt = (std::uint64_t{parts.negative()} << 63) |
                                  (static_cast<std::uint64_t>(parts.biasedExponent()) << 52) |
                                  parts.fraction();
    ASSERT_EQ(rebuilt, bits);
    if (!parts.isFinite()) continue;
    const double magnitude = std::ldexp(static_cast<double>(parts.significand()), parts.exponent());
    ASSERT_EQ(bitCast<std::uint64_t>(parts.negative() ? -magnitude : magnitude), bits);
  }
}

}  // namespace
}  // namespace kapolex
