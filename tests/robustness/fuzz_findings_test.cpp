// What the fuzz targets found, kept so that it stays fixed. Each case names
// the corpus file under fuzz/corpus that first showed it.
#include <gtest/gtest.h>

#include <string>

#include "rinex/field_editing.hpp"

namespace kapolex {
namespace {

// finding-f99.0-beyond-2-to-64: a field without decimals for a magnitude of
// 2^64 or more passed an empty, pointer-less fraction to memcpy.
TEST(FuzzFindings, NoDecimalsBeyondTwoToTheSixtyFour) {
  struct Case {
    std::size_t width;
    double value;
    const char* field;
  };
  const Case cases[] = {
      {32, 0x1.0000100010027p+97, " 158456476146563342215459897344."},
      {32, -0x1.0000100010027p+97, "-158456476146563342215459897344."},
      {31, -0x1.0000100010027p+97, "*******************************"},
      {21, 0x1p64, "18446744073709551616."},
  };
  for (const Case& c : cases) {
    std::string field(c.width, '?');
    editFixed({field.data(), field.size()}, 0, c.value);
    EXPECT_EQ(field, c.field) << c.value;
  }
}

// finding-i1.4-of-zero: the one-column shortcut for a single digit forgot the
// minimum digit count, so I1.4 of 0 wrote "0" instead of an overflow.
TEST(FuzzFindings, MinimumDigitsWiderThanTheField) {
  struct Case {
    std::size_t width;
    int minDigits;
    std::int64_t value;
    const char* field;
  };
  const Case cases[] = {
      {1, 4, 0, "*"},  {1, 2, 7, "*"},   {1, 1, 7, "7"},    {1, 0, 7, "7"},
      {2, 3, 5, "**"}, {3, 3, 5, "005"}, {3, 3, -5, "***"},
  };
  for (const Case& c : cases) {
    std::string field(c.width, '?');
    editInteger({field.data(), field.size()}, c.minDigits, c.value);
    EXPECT_EQ(field, c.field) << "I" << c.width << "." << c.minDigits << " of " << c.value;
  }
}

}  // namespace
}  // namespace kapolex
