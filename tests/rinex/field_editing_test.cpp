#include "rinex/field_editing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace kapolex {
namespace {

std::string integerField(int width, int minDigits, std::int64_t value) {
  std::string field(static_cast<std::size_t>(width), '?');
  editInteger(field.data(), field.size(), minDigits, value);
  return field;
}

std::string fixedField(int width, int decimals, double value) {
  std::string field(static_cast<std::size_t>(width), '?');
  editFixed(field.data(), field.size(), decimals, value);
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
      {3, 3, 5, "005"},  // all columns for the minimum digits
      {3, 3, -5, "***"},
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
      {20, 2, 1e16, "10000000000000000.00"},
      {20, 3, 1e16, "********************"},
      {20, 0, 9999999999999999999.0, "********************"},  // the double is 10^19
      {20, 0, 9223372036854775808.0, "9223372036854775808."},
      {20, 0, 0x1p64, "********************"},
      // 0.1 is 3602879701896397 / 2^55 = 0.1000000000000000055511151231...
      {20, 9, 0.1, "         0.100000000"},
      {20, 9, 123456789.5, " 123456789.500000000"},
      {11, 9, 1e-9, "0.000000001"},
      {11, 9, 5e-10, "0.000000001"},   // the double lies just above the midpoint
      {11, 9, 1.5e-9, "0.000000001"},  // and this one just below it
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
  if (minus) body = '-' + body;
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
  const Format formats[] = {{14, 3}, {11, 7}, {13, 7}, {4, 2},  {5, 2}, {3, 1},
                            {6, 0},  {2, 0},  {20, 9}, {20, 6}, {19, 0}};
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

// The editors made for a width known while compiling must write exactly what
// the general editors write, on their inline paths and at their edges.
template <std::size_t width, int decimals>
void expectCompiledFixedAgrees(double value, int& mismatches) {
  char compiled[width];
  char general[width];
  std::memset(compiled, '?', width);
  editFixedField<width, decimals>(compiled, value);
  editFixed(general, width, decimals, value);
  if (std::memcmp(compiled, general, width) != 0 && ++mismatches <= 10) {
    ADD_FAILURE() << "F" << width << "." << decimals << " of " << std::hexfloat << value << ": \""
                  << std::string(compiled, width) << "\" != \"" << std::string(general, width)
                  << "\"";
  }
}

template <std::size_t width, int decimals>
void checkCompiledFixed(std::mt19937_64& random, int& mismatches) {
  std::uniform_int_distribution<std::uint64_t> bits;
  std::uniform_real_distribution<double> logMagnitude(-14.0, 11.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double scale = std::pow(10.0, decimals);
  const double edges[] = {0.0,
                          0x1p-11,
                          std::nextafter(0x1p-11, 0.0),
                          0x1p52,
                          std::nextafter(0x1p52, 0.0),
                          99999999.0,
                          100000000.0,
                          std::nextafter(100000000.0, 0.0),
                          (99999999.0 * scale + 0.5) / scale,
                          0.5 / scale,
                          1.5 / scale,
                          0.0625,
                          0.1875,
                          12345678.123,
                          123456789.0625,
                          999999999.999,
                          999999999.9995,
                          1000000000.0,
                          9999999999.999,
                          9999999999.9996,
                          10000000000.0,
                          1234567.5,
                          0.0004,
                          5e-324,
                          1e300,
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};
  for (const double edge : edges) {
    expectCompiledFixedAgrees<width, decimals>(edge, mismatches);
    expectCompiledFixedAgrees<width, decimals>(-edge, mismatches);
  }
  for (int trial = 0; trial < 100000; ++trial) {
    double x = 0.0;
    switch (trial % 4) {
      case 0:
        x = std::bit_cast<double>(bits(random));
        break;
      case 1:  // every magnitude around the inline path's range
        x = std::pow(10.0, logMagnitude(random));
        break;
      case 2:  // exact ties and near ties of the last decimal
        x = std::ldexp(std::floor(unit(random) * 0x1p40), -(decimals + 1) - 10);
        x = std::nextafter(x, trial % 8 == 2 ? 0.0 : 1e300);
        break;
      case 3:  // observation-like values with all their binary digits, and
               // carrier phases grown over weeks of tracking
        x = (unit(random) - 0.3) * (trial % 8 == 3 ? 3.0e7 : 1.2e10);
        break;
    }
    if (bits(random) & 1) x = -x;
    expectCompiledFixedAgrees<width, decimals>(x, mismatches);
  }
}

TEST(FieldEditing, CompiledFixedFieldsAgreeWithEditFixed) {
  std::mt19937_64 random(1380);
  int mismatches = 0;
  checkCompiledFixed<14, 3>(random, mismatches);  // the observation line's fields
  checkCompiledFixed<13, 3>(random, mismatches);  // the narrowest field of the inline path
  checkCompiledFixed<15, 3>(random, mismatches);  // room for a sign before ten digits
  checkCompiledFixed<17, 2>(random, mismatches);
  checkCompiledFixed<12, 2>(random, mismatches);
  checkCompiledFixed<10, 0>(random, mismatches);
  checkCompiledFixed<11, 7>(random, mismatches);  // always the general path
  EXPECT_EQ(mismatches, 0);
}

template <std::size_t width, int minDigits>
void checkCompiledInteger(int& mismatches) {
  std::vector<std::int64_t> values;
  for (std::int64_t v = -150; v <= 150; ++v) values.push_back(v);
  for (const std::int64_t v : {std::int64_t{999}, std::int64_t{1000}, std::int64_t{123456},
                               std::numeric_limits<std::int64_t>::max()}) {
    values.push_back(v);
    values.push_back(-v);
  }
  values.push_back(std::numeric_limits<std::int64_t>::min());
  for (const std::int64_t value : values) {
    char compiled[width];
    char general[width];
    std::memset(compiled, '?', width);
    editIntegerField<width, minDigits>(compiled, value);
    editInteger(general, width, minDigits, value);
    if (std::memcmp(compiled, general, width) != 0 && ++mismatches <= 10) {
      ADD_FAILURE() << "I" << width << "." << minDigits << " of " << value << ": \""
                    << std::string(compiled, width) << "\" != \"" << std::string(general, width)
                    << "\"";
    }
  }
}

TEST(FieldEditing, CompiledIntegerFieldsAgreeWithEditInteger) {
  int mismatches = 0;
  checkCompiledInteger<1, 1>(mismatches);
  checkCompiledInteger<2, 1>(mismatches);
  checkCompiledInteger<2, 2>(mismatches);
  checkCompiledInteger<3, 1>(mismatches);
  checkCompiledInteger<3, 2>(mismatches);
  checkCompiledInteger<4, 1>(mismatches);
  checkCompiledInteger<6, 2>(mismatches);
  checkCompiledInteger<6, 3>(mismatches);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kapolex
