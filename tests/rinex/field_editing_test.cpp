#include "rinex/field_editing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace kapolex {
namespace {

std::string integerField(int width, int minDigits, std::int64_t value) {
  std::string field(static_cast<std::size_t>(width), '?');
  editInteger(field, minDigits, value);
  return field;
}

std::string fixedField(int width, int decimals, double value) {
  std::string field(static_cast<std::size_t>(width), '?');
  editFixed(field, decimals, value);
  return field;
}

TEST(FieldEditing, Integer) {
  struct Case {
    int width, minDigits;
    std::int64_t value;
    const char* expected;
  };
  const Case cases[] = {
      {3, 1, 0, "  0"},
      {3, 1, 5, "  5"},
      {3, 1, -5, " -5"},
      {3, 1, 1234, "***"},
      {1, 1, 10, "*"},
      {1, 1, -1, "*"},
      {2, 2, 5, "05"},
      {2, 2, 0, "00"},
      {2, 2, -5, "**"},
      {3, 2, 9, " 09"},
      {3, 2, -5, "-05"},
      {6, 2, 2006, "  2006"},
      {6, 2, 1, "    01"},
      {3, 1, -99, "-99"},
      {3, 1, -100, "***"},
      {20, 1, std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
      {19, 1, std::numeric_limits<std::int64_t>::min(), "*******************"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(integerField(c.width, c.minDigits, c.value), c.expected)
        << "I" << c.width << "." << c.minDigits << " of " << c.value;
  }
}

TEST(FieldEditing, Fixed) {
  struct Case {
    int width, decimals;
    double value;
    const char* expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {14, 3, 0.0625, "         0.062"},  // a true tie goes to the even digit
      {14, 3, 0.1875, "         0.188"},
      {5, 2, 2.675, " 2.67"},  // the binary value lies just below 2.675
      {11, 7, 59.99999999, " 60.0000000"},
      {14, 3, -0.0004, "         0.000"},
      {11, 7, 0.0, "  0.0000000"},
      {11, 7, -0.0, "  0.0000000"},
      {11, 7, -0.00000004, "  0.0000000"},
      {11, 7, -0.00000006, " -0.0000001"},
      {4, 2, 0.5, "0.50"},
      {4, 2, -0.5, "-.50"},
      {5, 2, -0.5, "-0.50"},
      {3, 2, 0.5, ".50"},
      {3, 2, -0.5, "***"},
      {14, 3, 10000000000.0, "**************"},
      {14, 3, 9999999999.999, "9999999999.999"},
      {14, 3, -999999999.999, "-999999999.999"},
      {14, 3, -1000000000.0, "**************"},
      {4, 0, 2.5, "  2."},
      {4, 0, 3.5, "  4."},
      {2, 0, 0.4, "0."},
      {1, 0, 0.4, "."},
      {14, 3, 5e-324, "         0.000"},
      {14, 3, 1e300, "**************"},
      {30, 3, 1e20, "     100000000000000000000.000"},
      // 0.1 is 3602879701896397 / 2^55 = 0.1000000000000000055511151231...
      {25, 22, 0.1, " 0.1000000000000000055511"},
      {30, 10, 123456789012.5, "       123456789012.5000000000"},
      {14, 3, nan, "**************"},
      {14, 3, infinity, "**************"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixedField(c.width, c.decimals, c.value), c.expected)
        << "F" << c.width << "." << c.decimals << " of " << c.value;
  }
}

// The field rules applied to glibc's correctly rounded "%.*f" of |x|.
std::string referenceFixed(int width, int decimals, double value) {
  char text[800];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value));
  std::string body = text;
  if (decimals == 0) body += '.';
  const bool roundsToZero = body.find_first_of("123456789") == std::string::npos;
  const bool minus = std::signbit(value) && !roundsToZero;
  if (minus) body.insert(0, "-");
  const std::size_t zeroAt = minus ? 1 : 0;
  if (body.size() > static_cast<std::size_t>(width) && body.compare(zeroAt, 2, "0.") == 0) {
    body.erase(zeroAt, 1);
  }
  if (body.size() > static_cast<std::size_t>(width)) {
    return std::string(static_cast<std::size_t>(width), '*');
  }
  return std::string(static_cast<std::size_t>(width) - body.size(), ' ') + body;
}

TEST(FieldEditing, FixedAgreesWithCorrectlyRoundedPrintf) {
  struct Format {
    int width, decimals;
  };
  const Format formats[] = {{14, 3}, {11, 7}, {13, 7},  {4, 2},   {5, 2},  {3, 1},
                            {6, 0},  {2, 0},  {22, 19}, {30, 10}, {40, 25}};
  std::mt19937_64 random(20060120);
  std::uniform_int_distribution<std::uint64_t> bits;
  std::uniform_real_distribution<double> logMagnitude(-12.0, 21.0);
  int mismatches = 0;
  for (const Format& format : formats) {
    const double scale = std::pow(10.0, format.decimals);
    // Decimal units that still fit the field, and halves of the last unit.
    const double units = std::min(std::pow(10.0, format.width - 1), 0x1p53);
    const double halves = std::min(std::ldexp(units / scale, format.decimals + 1), 0x1p53);
    std::uniform_real_distribution<double> unitCount(0.0, units);
    std::uniform_real_distribution<double> halfCount(0.0, halves);
    for (int trial = 0; trial < 40000; ++trial) {
      double x = 0.0;
      switch (trial % 4) {
        case 0:  // any bit pattern
          x = std::bit_cast<double>(bits(random));
          if (!std::isfinite(x)) continue;
          break;
        case 1:  // any magnitude, most of them fitting
          x = std::pow(10.0, logMagnitude(random));
          break;
        case 2:  // exact ties: a multiple of 2^-(d+1) has at most d+1 decimals
          x = std::ldexp(std::floor(halfCount(random)), -(format.decimals + 1));
          break;
        case 3:  // a few ulps either side of a decimal midpoint
          x = (std::floor(unitCount(random)) + 0.5) / scale;
          for (int step = static_cast<int>(bits(random) % 5); step > 0; --step) {
            x = std::nextafter(x, trial % 8 == 3 ? 0.0 : 1e300);
          }
          break;
      }
      if (bits(random) & 1) x = -x;
      const std::string expected = referenceFixed(format.width, format.decimals, x);
      const std::string actual = fixedField(format.width, format.decimals, x);
      if (actual != expected && ++mismatches <= 10) {
        ADD_FAILURE() << "F" << format.width << "." << format.decimals << " of " << std::hexfloat
                      << x << ": \"" << actual << "\" != \"" << expected << "\"";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kapolex
