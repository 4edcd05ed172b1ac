// The general Iw.m and Fw.d editors. The fixed-point editor rounds the
// double's exact binary value in integer arithmetic, because the digits in
// the observation file must not depend on a library's shortest-form printing.
#include "rinex/field_editing.hpp"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace kapolex {

namespace {

using namespace field_editing_detail;

__extension__ typedef unsigned __int128 Uint128;

void fillAsterisks(char* field, std::size_t width) {
  std::memset(field, '*', width);
}

// Writes value's digits, zero-filled to count of them, so that they end
// right before end; count is at least value's number of digits.
void putDigits(char* end, std::uint64_t value, int count) {
  constexpr std::uint32_t eightDigitUnit = 100000000;
  while ((value >> 32) != 0) {
    putDigits32(end, static_cast<std::uint32_t>(value % eightDigitUnit), 8);
    value /= eightDigitUnit;
    end -= 8;
    count -= 8;
  }
  putDigits32(end, static_cast<std::uint32_t>(value), count);
}

// Lays out a magnitude already rounded to d decimals and scaled by 10^d,
// right to left straight into the field; d is less than the field's width.
void placeRounded(char* field, std::size_t width, int decimals, bool negative,
                  std::uint64_t rounded) {
  const std::uint64_t scale = powersOfTen[static_cast<std::size_t>(decimals)];
  const std::uint64_t integerPart = rounded / scale;
  const int integerDigits = decimalDigitCount(integerPart);
  const bool minus = negative && rounded != 0;
  const std::size_t needed =
      static_cast<std::size_t>(integerDigits + 1 + decimals) + (minus ? 1 : 0);
  if (needed > width) {
    fillAsterisks(field, width);
    return;
  }
  char* const end = field + width;
  putDigits(end, rounded - integerPart * scale, decimals);
  char* out = end - decimals - 1;
  *out = '.';
  putDigits(out, integerPart, integerDigits);
  out -= integerDigits;
  // The "0" before the point is the first thing a narrow field gives up.
  if (integerDigits == 0 && needed < width) *--out = '0';
  if (minus) *--out = '-';
  fillBlanks(field, static_cast<std::size_t>(out - field));
}

}  // namespace

void editInteger(char* field, std::size_t width, int minDigits, std::int64_t value) {
  assert(width >= 1 && width <= std::size_t{maxFieldWidth} && minDigits >= 1 &&
         static_cast<std::size_t>(minDigits) <= width);
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int shown = std::max(decimalDigitCount(magnitude), minDigits);
  if (static_cast<std::size_t>(shown) + (negative ? 1 : 0) > width) {
    fillAsterisks(field, width);
    return;
  }
  // Right to left, straight into the field: digits, sign, blanks.
  char* out = field + width;
  putDigits(out, magnitude, shown);
  out -= shown;
  if (negative) *--out = '-';
  fillBlanks(field, static_cast<std::size_t>(out - field));
}

void editFixed(char* field, std::size_t width, int decimals, double value) {
  assert(width <= std::size_t{maxFieldWidth} && decimals >= 0 && decimals <= maxFixedDecimals &&
         static_cast<std::size_t>(decimals) < width);
  const DoubleBits parts = decompose(value);
  // Not a number or infinite: no digits to show, so the field says so as an
  // overflow would. From 2^64 on the integer part has at least 20 digits,
  // more than any field holds.
  if (!parts.isFinite() || parts.biasedExponent() >= doubleExponentBias + 64) {
    fillAsterisks(field, width);
    return;
  }
  // |value| = mantissa * 2^exponent exactly. Below 2^64 and with at most 9
  // decimals, mantissa * 10^d stays below 2^83 and shifted left below 2^94,
  // so 128 bits hold every step exactly.
  const std::uint64_t mantissa = parts.significand();
  const int exponent = parts.exponent();
  const Uint128 scaled = Uint128{mantissa} * powersOfTen[static_cast<std::size_t>(decimals)];
  Uint128 rounded = 0;
  if (exponent >= 0) {
    rounded = scaled << exponent;
  } else if (exponent > -128) {
    // To the nearest, a tie to the even neighbour.
    const int shift = -exponent;
    rounded = scaled >> shift;
    const Uint128 remainder = scaled & ((Uint128{1} << shift) - 1);
    const Uint128 half = Uint128{1} << (shift - 1);
    if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
  }
  // Otherwise a value below 2^83 is divided by 2^128 or more: under a half, so 0.

  // Width digits or more, with the point, never fit; below that the rounded
  // magnitude is under 10^19 and fits 64 bits.
  if (rounded >= powersOfTen[width - 1]) {
    fillAsterisks(field, width);
    return;
  }
  placeRounded(field, width, decimals, parts.negative(), static_cast<std::uint64_t>(rounded));
}

}  // namespace kapolex
