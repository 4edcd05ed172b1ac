// Integer and fixed-point field editing. The fixed-point editor rounds the
// double's exact binary value in integer arithmetic, because the digits in
// the observation file must not depend on a library's shortest-form printing.
#include "rinex/field_editing.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kapolex {

namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int maxFastDecimals = 19;  // 10^19 is the largest power of ten in 64 bits

constexpr std::array<std::uint64_t, maxFastDecimals + 1> powersOfTen = [] {
  std::array<std::uint64_t, maxFastDecimals + 1> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// Pairs of digits "00" to "99": halves the divisions per digit.
constexpr std::array<char, 200> digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the decimal digits of value so that they end right before end, at
// least minCount of them (zero-filled); returns where they begin.
char* digitsBackward(char* end, std::uint64_t value, std::ptrdiff_t minCount) {
  char* begin = end;
  while (value >= 100) {
    const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
    value /= 100;
    begin -= 2;
    begin[0] = digitPairs[pair];
    begin[1] = digitPairs[pair + 1];
  }
  if (value >= 10) {
    const std::size_t pair = static_cast<std::size_t>(value) * 2;
    begin -= 2;
    begin[0] = digitPairs[pair];
    begin[1] = digitPairs[pair + 1];
  } else if (value != 0) {
    *--begin = static_cast<char>('0' + value);
  }
  while (end - begin < minCount) *--begin = '0';
  return begin;
}

void fillAsterisks(std::span<char> field) {
  std::fill(field.begin(), field.end(), '*');
}

// Lays out an already rounded magnitude: integerDigits without leading zeros
// (empty when the integer part is zero), exactly d fraction digits.
void placeFixed(std::span<char> field, std::string_view integerDigits,
                std::string_view fractionDigits, bool minus) {
  const std::size_t width = field.size();
  std::size_t needed = integerDigits.size() + 1 + fractionDigits.size() + (minus ? 1 : 0);
  if (needed > width) {
    fillAsterisks(field);
    return;
  }
  // The "0" before the point is the first thing a narrow field gives up.
  const bool leadingZero = integerDigits.empty() && needed < width;
  if (leadingZero) ++needed;
  char* out = field.data();
  std::memset(out, ' ', width - needed);
  out += width - needed;
  if (minus) *out++ = '-';
  if (leadingZero) *out++ = '0';
  std::memcpy(out, integerDigits.data(), integerDigits.size());
  out += integerDigits.size();
  *out++ = '.';
  std::memcpy(out, fractionDigits.data(), fractionDigits.size());
}

bool hasNonZeroDigit(std::string_view digits) {
  return digits.find_first_not_of('0') != std::string_view::npos;
}

// For magnitudes of 2^64 and more and for more than 19 decimals: glibc's
// printf rounds the exact binary value in the current (nearest-even) mode.
void editFixedByPrintf(std::span<char> field, int decimals, bool negative, double magnitude) {
  // 309 integer digits at most, a point and fewer than maxFieldWidth decimals.
  char text[512];
  const int length = std::snprintf(text, sizeof text, "%.*f", decimals, magnitude);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text) {
    fillAsterisks(field);
    return;
  }
  const std::string_view printed(text, static_cast<std::size_t>(length));
  const std::size_t point = decimals > 0 ? printed.find('.') : printed.size();
  std::string_view integerDigits = printed.substr(0, point);
  integerDigits.remove_prefix(std::min(integerDigits.find_first_not_of('0'), integerDigits.size()));
  const std::string_view fractionDigits =
      decimals > 0 ? printed.substr(point + 1) : std::string_view();
  const bool minus = negative && (!integerDigits.empty() || hasNonZeroDigit(fractionDigits));
  placeFixed(field, integerDigits, fractionDigits, minus);
}

}  // namespace

void editInteger(std::span<char> field, int minDigits, std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::size_t width = field.size();
  const std::size_t shown = static_cast<std::size_t>(std::max(minDigits, 1));
  char digits[20];
  char* const end = digits + sizeof digits;
  const char* begin = digitsBackward(end, magnitude, 1);
  const std::size_t count = std::max(static_cast<std::size_t>(end - begin), shown);
  const std::size_t needed = count + (negative ? 1 : 0);
  if (needed > width) {
    fillAsterisks(field);
    return;
  }
  char* out = field.data();
  std::memset(out, ' ', width - needed);
  out += width - needed;
  if (negative) *out++ = '-';
  const std::size_t digitCount = static_cast<std::size_t>(end - begin);
  std::memset(out, '0', count - digitCount);
  std::memcpy(out + (count - digitCount), begin, digitCount);
}

void editFixed(std::span<char> field, int decimals, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::size_t width = field.size();
  // Not a number or infinite: no digits to show, so the field says so as an
  // overflow would. Fewer columns than the point and the decimals: nothing fits.
  if (biasedExponent == 0x7FF || decimals < 0 || static_cast<std::size_t>(decimals) >= width ||
      width > static_cast<std::size_t>(maxFieldWidth)) {
    fillAsterisks(field);
    return;
  }
  constexpr int exponentBias = 1023;
  constexpr int mantissaBits = 52;
  // From 2^64 on the integer part has at least 20 digits.
  const bool atLeastTwoTo64 = biasedExponent >= exponentBias + 64;
  if (atLeastTwoTo64 && width <= static_cast<std::size_t>(20 + decimals)) {
    fillAsterisks(field);
    return;
  }
  if (atLeastTwoTo64 || decimals > maxFastDecimals) {
    editFixedByPrintf(field, decimals, negative, std::abs(value));
    return;
  }

  // |value| = mantissa * 2^exponent exactly; below 2^64 with 10^d < 2^64 the
  // scaled value mantissa * 10^d stays below 2^117, so 128 bits are exact.
  const std::uint64_t mantissa =
      biasedExponent == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int exponent = (biasedExponent == 0 ? 1 : biasedExponent) - exponentBias - mantissaBits;
  const Uint128 scaled = Uint128{mantissa} * powersOfTen[static_cast<std::size_t>(decimals)];
  Uint128 rounded = 0;
  if (exponent >= 0) {
    rounded = scaled << exponent;
  } else if (exponent > -128) {
    const int shift = -exponent;
    rounded = scaled >> shift;
    const Uint128 remainder = scaled & ((Uint128{1} << shift) - 1);
    const Uint128 half = Uint128{1} << (shift - 1);
    if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
  }
  // Otherwise a value below 2^117 is divided by 2^128 or more: under a half, so 0.

  // The rounded magnitude's digits, zero-filled to at least d; above 2^64 it
  // is split at 10^19 so that every division stays in 64 bits.
  char digits[40];
  char* const end = digits + sizeof digits;
  char* begin;
  const auto low = static_cast<std::uint64_t>(rounded);
  if ((rounded >> 64) == 0) {
    begin = digitsBackward(end, low, decimals);
  } else {
    const Uint128 split = powersOfTen[maxFastDecimals];
    begin = digitsBackward(end, static_cast<std::uint64_t>(rounded % split), maxFastDecimals);
    begin = digitsBackward(begin, static_cast<std::uint64_t>(rounded / split), 0);
  }
  const std::size_t fractionCount = static_cast<std::size_t>(decimals);
  const std::string_view integerDigits(begin,
                                       static_cast<std::size_t>(end - begin) - fractionCount);
  const std::string_view fractionDigits(end - fractionCount, fractionCount);
  placeFixed(field, integerDigits, fractionDigits, negative && rounded != 0);
}

}  // namespace kapolex
