// The Fw.d and Iw.m editors, general and specialised, against the C
// library's correctly rounded printing, with the field rules applied on top:
// no minus on a value that rounds to zero, the "0" before the point given up
// first in a narrow field, asterisks when the digits do not fit. Every width
// and digit count a layout may declare is tried.
#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.hpp"
#include "rinex/field_editing.hpp"

namespace {

using kapolex::fuzzing::require;

std::string fixedByPrintf(std::size_t width, int decimals, double value) {
  const std::string stars(width, '*');
  if (!std::isfinite(value) || decimals >= static_cast<int>(width)) return stars;
  std::string printed(400, '\0');
  const int length =
      std::snprintf(printed.data(), printed.size(), "%.*f", decimals, std::fabs(value));
  printed.resize(static_cast<std::size_t>(length));
  const std::size_t point = decimals > 0 ? printed.find('.') : printed.size();
  std::string integer = printed.substr(0, point);
  const std::string fraction = decimals > 0 ? printed.substr(point + 1) : "";
  if (integer == "0") integer.clear();
  const bool zero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
  const bool minus = std::signbit(value) && !zero;
  const std::string body = integer + "." + fraction;
  std::size_t needed = body.size() + (minus ? 1 : 0);
  if (needed > width) return stars;
  const bool leadingZero = integer.empty() && needed < width;
  if (leadingZero) ++needed;
  return std::string(width - needed, ' ') + (minus ? "-" : "") + (leadingZero ? "0" : "") + body;
}

std::string integerByPrintf(std::size_t width, int minDigits, std::int64_t value) {
  const int shown = minDigits < 1 ? 1 : minDigits;
  char printed[64];
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int length = std::snprintf(printed, sizeof printed, "%s%0*" PRIu64, value < 0 ? "-" : "",
                                   shown, magnitude);
  if (static_cast<std::size_t>(length) > width) return std::string(width, '*');
  return std::string(width - static_cast<std::size_t>(length), ' ') + printed;
}

}  // namespace

// The system's own fields, whose editors are specialised while compiling;
// they must write what the general editors write.
template <std::size_t width, int decimals>
void checkFixedField(double value) {
  std::string field(width, '?');
  kapolex::editFixedField<width, decimals>(field.data(), value);
  require(field == fixedByPrintf(width, decimals, value), "specialised Fw.d differs from printf");
}

template <std::size_t width, int minDigits>
void checkIntegerField(std::int64_t value) {
  std::string field(width, '?');
  kapolex::editIntegerField<width, minDigits>(field.data(), value);
  require(field == integerByPrintf(width, minDigits, value),
          "specialised Iw.m differs from printf");
}

void checkLayoutFields(std::uint8_t which, std::uint64_t bits) {
  const double real = std::bit_cast<double>(bits);
  const auto integer = static_cast<std::int64_t>(bits);
  // Values of the observation lines' size come often; the bits of a random
  // double seldom give them.
  const auto small = static_cast<std::int64_t>(bits % 20001) - 10000;
  switch (which % 10) {
    case 0:
      return checkFixedField<14, 3>(real);
    case 1:
      return checkFixedField<11, 7>(real);
    case 2:
      return checkFixedField<13, 7>(real);
    case 3:
      return checkFixedField<14, 3>(static_cast<double>(integer % 2000000000000) / 1024.0);
    case 4:
      return checkIntegerField<3, 1>(small);
    case 5:
      return checkIntegerField<1, 1>(small);
    case 6:
      return checkIntegerField<2, 2>(small);
    case 7:
      return checkIntegerField<3, 2>(small);
    case 8:
      return checkIntegerField<6, 2>(integer);
    default:
      return checkIntegerField<4, 1>(small);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 11) return 0;
  const std::size_t width = 1 + data[0] % kapolex::maxFieldWidth;
  std::uint64_t bits = 0;
  std::memcpy(&bits, data + 2, sizeof bits);
  if ((data[10] & 2) != 0) {
    checkLayoutFields(data[0], bits);
    return 0;
  }
  std::string field(width, '?');
  if ((data[10] & 1) == 0) {
    const int maxDecimals = std::min(static_cast<int>(width) - 1, kapolex::maxFixedDecimals);
    const int decimals = data[1] % (maxDecimals + 1);
    const double value = std::bit_cast<double>(bits);
    kapolex::editFixed(field.data(), width, decimals, value);
    require(field == fixedByPrintf(width, decimals, value), "Fw.d differs from printf");
  } else {
    const int minDigits = 1 + data[1] % static_cast<int>(width);
    const auto value = static_cast<std::int64_t>(bits);
    kapolex::editInteger(field.data(), width, minDigits, value);
    require(field == integerByPrintf(width, minDigits, value), "Iw.m differs from printf");
  }
  return 0;
}
