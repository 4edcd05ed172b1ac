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

using namespace field_editing_detail;

__extension__ typedef unsigned __int128 Uint128;

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

// Writes value's digits, zero-filled to count of them, so that they end
// right before end; count is at least value's number of digits.
void putDigits(char* end, std::uint64_t value, int count) {
  constexpr std::uint32_t eightDigits = 100000000;
  while ((value >> 32) != 0) {
    putDigits32(end, static_cast<std::uint32_t>(value % eightDigits), 8);
    value /= eightDigits;
    end -= 8;
    count -= 8;
  }
  putDigits32(end, static_cast<std::uint32_t>(value), count);
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

// Lays out a magnitude already rounded to d decimals and scaled by 10^d,
// right to left straight into the field; d is less than the field's width.
void placeRounded(std::span<char> field, int decimals, bool negative, std::uint64_t rounded) {
  const std::size_t width = field.size();
  const std::uint64_t scale = powersOfTen[static_cast<std::size_t>(decimals)];
  // The observation lines' 3 decimals divide by a constant.
  const std::uint64_t integerPart = decimals == 3 ? rounded / 1000 : rounded / scale;
  const int integerDigits = decimalDigitCount(integerPart);
  const bool minus = negative && rounded != 0;
  const std::size_t needed =
      static_cast<std::size_t>(integerDigits + 1 + decimals) + (minus ? 1 : 0);
  if (needed > width) {
    fillAsterisks(field);
    return;
  }
  char* const end = field.data() + width;
  putDigits(end, rounded - integerPart * scale, decimals);
  char* out = end - decimals - 1;
  *out = '.';
  constexpr std::uint32_t eightDigitLimit = 100000000;
  if (std::endian::native == std::endian::little && integerPart < eightDigitLimit &&
      out - field.data() >= 8) {
    // Zero-filled to eight digits; the zeros in front are blanked below.
    const std::uint64_t text = eightDigitsText(static_cast<std::uint32_t>(integerPart));
    std::memcpy(out - 8, &text, 8);
  } else {
    putDigits(out, integerPart, integerDigits);
  }
  out -= integerDigits;
  // The "0" before the point is the first thing a narrow field gives up.
  if (integerDigits == 0 && needed < width) *--out = '0';
  if (minus) *--out = '-';
  fillBlanks(field.data(), static_cast<std::size_t>(out - field.data()));
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
  // Empty but pointing into the text: a null view's data must not reach memcpy.
  const std::string_view fractionDigits =
      decimals > 0 ? printed.substr(point + 1) : printed.substr(printed.size());
  const bool minus = negative && (!integerDigits.empty() || hasNonZeroDigit(fractionDigits));
  placeFixed(field, integerDigits, fractionDigits, minus);
}

}  // namespace

void editInteger(std::span<char> field, int minDigits, std::int64_t value) {
  const std::size_t width = field.size();
  // Dates, times, counts, PRNs and digits: one or two columns of digits.
  if (value >= 0 && value < 100 && minDigits <= 2 && width >= 2) {
    char* const digits = field.data() + width - 2;
    std::memcpy(digits, &digitPairs[static_cast<std::size_t>(value) * 2], 2);
    if (value < 10 && minDigits <= 1) digits[0] = ' ';
    fillBlanks(field.data(), width - 2);
    return;
  }
  if (value >= 0 && value < 10 && minDigits <= 1 && width == 1) {
    field[0] = static_cast<char>('0' + value);
    return;
  }
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int shown = std::max(decimalDigitCount(magnitude), std::max(minDigits, 1));
  if (static_cast<std::size_t>(shown) + (negative ? 1 : 0) > width) {
    fillAsterisks(field);
    return;
  }
  // Right to left, straight into the field: digits, sign, blanks.
  char* out = field.data() + width;
  putDigits(out, magnitude, shown);
  out -= shown;
  if (negative) *--out = '-';
  fillBlanks(field.data(), static_cast<std::size_t>(out - field.data()));
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
  // The observation lines' case: with at most 3 decimals the scaled
  // mantissa stays below 2^63, and a value under 2^52 but not tiny needs a
  // shift of 1 to 63, so 64 bits do.
  constexpr int maxNarrowDecimals = 3;
  if (decimals <= maxNarrowDecimals && exponent < 0 && exponent > -64) {
    const std::uint64_t scaled = mantissa * powersOfTen[static_cast<std::size_t>(decimals)];
    const int shift = -exponent;
    std::uint64_t rounded = scaled >> shift;
    const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
    placeRounded(field, decimals, negative, rounded);
    return;
  }
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

  if ((rounded >> 64) == 0) {
    placeRounded(field, decimals, negative, static_cast<std::uint64_t>(rounded));
    return;
  }

  // A rounded magnitude of 2^64 or more is split at 10^19 so that every
  // division stays in 64 bits.
  char digits[40];
  char* const end = digits + sizeof digits;
  const Uint128 split = powersOfTen[maxFastDecimals];
  char* begin = digitsBackward(end, static_cast<std::uint64_t>(rounded % split), maxFastDecimals);
  begin = digitsBackward(begin, static_cast<std::uint64_t>(rounded / split), 0);
  const std::size_t fractionCount = static_cast<std::size_t>(decimals);
  const std::string_view integerDigits(begin,
                                       static_cast<std::size_t>(end - begin) - fractionCount);
  const std::string_view fractionDigits(end - fractionCount, fractionCount);
  placeFixed(field, integerDigits, fractionDigits, negative);
}

}  // namespace kapolex
