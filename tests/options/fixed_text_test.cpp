#include "options/fixed_text.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace kapolex::options {
namespace {

// The texts are made while compiling: a wrong one does not compile.
static_assert(decimalText<0>().view() == "0");
static_assert(decimalText<3600>().view() == "3600");
static_assert(joinText("from ", decimalText<1>(), " to ", decimalText<3600>()).view() ==
              "from 1 to 3600");
static_assert(joinText("").view().empty());

TEST(FixedText, NumbersReadAsTheirDecimalDigits) {
  EXPECT_EQ(decimalText<std::numeric_limits<std::int64_t>::max()>().view(),
            std::to_string(std::numeric_limits<std::int64_t>::max()));
  EXPECT_EQ(decimalText<std::size_t{60}>().view(), "60");
  EXPECT_EQ(decimalText<9>().view(), "9");
  EXPECT_EQ(decimalText<10>().view(), "10");
  constexpr auto joined = joinText("MARKER NAME (", decimalText<60>(), ")");
  EXPECT_EQ(std::string(joined.view()), "MARKER NAME (60)");
}

}  // namespace
}  // namespace kapolex::options
