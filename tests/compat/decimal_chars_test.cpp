#include "compat/decimal_chars.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "compat/bit_cast.hpp"

namespace kapolex {
namespace {

constexpr std::size_t textCapacity = 1200;

std::string portableShortest(double value) {
  std::array<char, textCapacity> text{};
  const auto [end, error] = portableFixedChars(text.data(), text.data() + text.size(), value);
  EXPECT_EQ(error, std::errc()) << value;
  return {text.data(), end};
}

std::string portableFixed(double value, int decimals) {
  std::array<char, textCapacity> text{};
  const auto [end, error] =
      portableFixedChars(text.data(), text.data() + text.size(), value, decimals);
  EXPECT_EQ(error, std::errc()) << value;
  return {text.data(), end};
}

TEST(DecimalChars, ShortestAndFixedTexts) {
  // Digits worked out by hand from the exact binary values.
  struct Case {
    double value;
    std::string shortest;
    std::string twoDecimals;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.0, "0", "0.00"},
      {-0.0, "-0", "-0.00"},
      {300000.0, "300000", "300000.00"},
      {604799.9, "604799.9", "604799.90"},
      {0.1, "0.1", "0.10"},
      {45.125, "45.125", "45.12"},  // exactly halfway: to the even digit
      {45.375, "45.375", "45.38"},
      {0.125, "0.125", "0.12"},
      {2.675, "2.675", "2.67"},  // 2.67499999999999982236431605997495353221893310546875
      {-0.001, "-0.001", "-0.00"},
      {1e23, "99999999999999991611392", "99999999999999991611392.00"},
      {9007199254740993.0 * 2, "18014398509481984", "18014398509481984.00"},
      {5e-324, std::string("0.") + std::string(323, '0') + "5", "0.00"},
      {inf, "inf", "inf"},
      {-inf, "-inf", "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan", "nan"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(portableShortest(c.value), c.shortest) << c.shortest;
    EXPECT_EQ(portableFixed(c.value, 2), c.twoDecimals) << c.shortest;
  }
  EXPECT_EQ(portableFixed(1.0 / 3.0, 0), "0");
  EXPECT_EQ(portableFixed(2.5, 0), "2");
  EXPECT_EQ(portableFixed(3.5, 0), "4");
  EXPECT_EQ(portableFixed(0.1, 30), "0.100000000000000005551115123126");
  EXPECT_EQ(portableFixed(1.5, -1), "1.500000");
}

TEST(DecimalChars, TextThatDoesNotFitIsRefused) {
  std::array<char, 5> text{};
  char* const last = text.data() + text.size();
  EXPECT_EQ(portableFixedChars(text.data(), last, 123456.0).ec, std::errc::value_too_large);
  EXPECT_EQ(portableFixedChars(text.data(), last, 1.5, 4).ec, std::errc::value_too_large);
  const auto [end, error] = portableFixedChars(text.data(), last, 12.75);
  EXPECT_EQ(error, std::errc());
  EXPECT_EQ(std::string(text.data(), end), "12.75");
}

#ifdef __cpp_lib_to_chars

std::string libraryShortest(double value) {
  std::array<char, textCapacity> text{};
  const auto end =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed).ptr;
  return {text.data(), end};
}

std::string libraryFixed(double value, int decimals) {
  std::array<char, textCapacity> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), value,
                                 std::chars_format::fixed, decimals)
                       .ptr;
  return {text.data(), end};
}

// The values where conversions go wrong: every power of two (the gap below
// it is half the gap above) and its neighbours, every power of ten and its
// neighbours, the subnormal range's ends, the largest double, whole
// numbers around 2^53.
std::vector<double> edgeValues() {
  std::vector<double> values;
  const auto addWithNeighbours = [&](double x) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {x, std::nextafter(x, 0.0), std::nextafter(x, inf)}) {
      if (std::isfinite(v)) {
        values.push_back(v);
        values.push_back(-v);
      }
    }
  };
  for (int e = -1074; e <= 1023; ++e) addWithNeighbours(std::ldexp(1.0, e));
  for (int e = -323; e <= 308; ++e)
    addWithNeighbours(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
  addWithNeighbours(std::numeric_limits<double>::max());
  addWithNeighbours(std::numeric_limits<double>::denorm_min());
  addWithNeighbours(std::numeric_limits<double>::min());
  for (std::int64_t n = -40; n <= 40; ++n) {
    values.push_back(static_cast<double>((std::int64_t{1} << 53) + n * 3));
  }
  return values;
}

// Values as the reports meet them: seconds of the week and dates in
// milliseconds, C/N0 in quarter dB-Hz, percentages and means of a few
// decimals, metres of noise.
std::vector<double> reportValues(std::mt19937_64& random) {
  std::vector<double> values;
  std::uniform_int_distribution<std::int64_t> millis(0, 604'800'000);
  std::uniform_int_distribution<int> quarters(0, 255 * 4);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 50'000; ++i) {
    values.push_back(static_cast<double>(millis(random)) / 1000.0);
    values.push_back(static_cast<double>(quarters(random)) / 4.0);
    values.push_back(100.0 * unit(random));
    values.push_back(unit(random) * 0.1);
  }
  return values;
}

TEST(DecimalChars, AgreesWithTheStandardLibrary) {
  std::mt19937_64 random(20060120);
  std::vector<double> values = edgeValues();
  const std::vector<double> report = reportValues(random);
  values.insert(values.end(), report.begin(), report.end());
  // Any bit pattern, so every exponent and every significand is met.
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int i = 0; i < 300'000; ++i) values.push_back(bitCast<double>(bits(random)));

  std::uniform_int_distribution<int> decimals(0, 17);
  for (const double value : values) {
    ASSERT_EQ(portableShortest(value), libraryShortest(value)) << std::hexfloat << value;
    const int d = decimals(random);
    ASSERT_EQ(portableFixed(value, d), libraryFixed(value, d))
        << std::hexfloat << value << " " << d;
  }
  // The fixed decimals the reports use, on every report value.
  for (const double value : report) {
    for (const int d : {1, 2, 3, 7}) ASSERT_EQ(portableFixed(value, d), libraryFixed(value, d));
  }
}

#else

TEST(DecimalChars, AgreesWithTheStandardLibrary) {
  GTEST_SKIP() << "this standard library has no floating-point std::to_chars to compare with";
}

#endif

}  // namespace
}  // namespace kapolex
