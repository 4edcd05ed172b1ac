// The numeric field editors behind every record layout: Iw.m and Fw.d. They
// run four times per satellite per epoch, so they write straight into the
// caller's columns and never allocate. Each has one general, exact editor
// and an inline fast path for the fields the observation lines use most.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "compat/double_bits.hpp"

namespace kapolex {

// Widest field a layout may declare: room for every 64-bit integer with its
// sign. A Fw.d field has at most maxFixedDecimals decimals, fewer than w.
inline constexpr int maxFieldWidth = 20;
inline constexpr int maxFixedDecimals = 9;

// Writes value as Iw.m into the width columns at field (m = minDigits, at
// least 1 and at most width): the digits flush right, zero-filled on the left
// to m digits, a "-" right before them for a negative value, blanks in
// front; w asterisks when that does not fit.
void editInteger(char* field, std::size_t width, int minDigits, std::int64_t value);

// Writes value as Fw.d into the width columns at field (d = decimals): the
// exact binary value rounded to d decimals, ties to even; no minus on a value
// that rounds to zero; a "0" before the point only if a column is left after
// the sign; w asterisks when the result does not fit. A NaN or an infinity,
// which have no digits, is written as asterisks too.
void editFixed(char* field, std::size_t width, int decimals, double value);

namespace field_editing_detail {

inline constexpr int maxPowerOfTen = 19;  // 10^19 is the largest power of ten in 64 bits

inline constexpr std::array<std::uint64_t, maxPowerOfTen + 1> powersOfTen = [] {
  std::array<std::uint64_t, maxPowerOfTen + 1> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// Pairs of digits "00" to "99": halves the divisions per digit.
inline constexpr std::array<char, 200> digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// How many decimal digits value has; 0 has none. The bit length times
// log10(2) is at most one short of the count.
constexpr int decimalDigitCount(std::uint64_t value) {
  if (value == 0) return 0;
  const int bits = 64 - std::countl_zero(value);
  const int estimate = (bits * 1233) >> 12;
  return estimate + (value >= powersOfTen[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

// Writes the count lowest decimal digits of value, zero-filled, so that they
// end right before end. Division by 100 is cheaper in 32 bits, which hold
// every value that the observation lines print.
inline void putDigits32(char* end, std::uint32_t value, int count) {
  for (; count >= 2; count -= 2) {
    const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
    value /= 100;
    end -= 2;
    std::memcpy(end, &digitPairs[pair], 2);
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
}

// Blanks in front of a field's content. The fields of the system's layouts
// are at most 14 columns wide: two overlapping stores instead of a call.
inline void fillBlanks(char* out, std::size_t count) {
  constexpr char blanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (count >= 8 && count <= 16) {
    std::memcpy(out, blanks, 8);
    std::memcpy(out + count - 8, blanks, 8);
  } else if (count >= 4 && count < 8) {
    std::memcpy(out, blanks, 4);
    std::memcpy(out + count - 4, blanks, 4);
  } else if (count >= 2 && count < 4) {
    std::memcpy(out, blanks, 2);
    std::memcpy(out + count - 2, blanks, 2);
  } else if (count == 1) {
    *out = ' ';
  } else if (count > 16) {
    std::memset(out, ' ', count);
  }
}

// The eight decimal digits of value < 10^8, zero-filled, one digit value
// 0 to 9 per byte of a little-endian word, in writing order: the value is
// split into halves of four digits, quarters of two and single digits,
// every lane at once.
constexpr std::uint64_t eightDigits(std::uint32_t value) {
  const std::uint64_t halves = (value / 10000) | (std::uint64_t{value % 10000} << 32);
  // x * 10486 >> 20 is x / 100 for x < 10000; x * 103 >> 10 is x / 10 for x < 100.
  const std::uint64_t high2 = ((halves * 10486) >> 20) & 0x0000007F0000007FULL;
  const std::uint64_t quarters = high2 | ((halves - high2 * 100) << 16);
  const std::uint64_t high1 = ((quarters * 103) >> 10) & 0x000F000F000F000FULL;
  return high1 | ((quarters - high1 * 10) << 8);
}

// The same digits as text.
constexpr std::uint64_t eightDigitsText(std::uint32_t value) {
  return eightDigits(value) | 0x3030303030303030ULL;
}

// ".000" to ".999": the point and three decimals in one store.
inline constexpr std::array<char, 4000> pointAndThreeDigits = [] {
  std::array<char, 4000> text{};
  for (std::size_t i = 0; i < 1000; ++i) {
    text[4 * i] = '.';
    text[4 * i + 1] = static_cast<char>('0' + i / 100);
    text[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
    text[4 * i + 3] = static_cast<char>('0' + i % 10);
  }
  return text;
}();

}  // namespace field_editing_detail

// Iw.m for a field whose width and digits are known while compiling: the
// small non-negative values of dates, times, counts, PRNs and digits inline,
// all others through editInteger. Writes the same characters as editInteger.
template <std::size_t width, int minDigits>
inline void editIntegerField(char* field, std::int64_t value) {
  static_assert(width >= 1 && width <= std::size_t{maxFieldWidth} && minDigits >= 1 &&
                static_cast<std::size_t>(minDigits) <= width);
  using namespace field_editing_detail;
  if constexpr (width >= 2 && minDigits <= 2) {
    if (value >= 0 && value < 100) {
      char* const digits = field + width - 2;
      std::memcpy(digits, &digitPairs[static_cast<std::size_t>(value) * 2], 2);
      if (value < 10 && minDigits <= 1) digits[0] = ' ';
      fillBlanks(field, width - 2);
      return;
    }
  } else if constexpr (width == 1 && minDigits <= 1) {
    if (value >= 0 && value < 10) {
      field[0] = static_cast<char>('0' + value);
      return;
    }
  }
  editInteger(field, width, minDigits, value);
}

// Fw.d for a field whose width and decimals are known while compiling. The
// values of the observation lines (at most 3 decimals, magnitudes from 2^-11 to below
// 10^10 that fit a field with room for at least eight integer digits, a
// sign and the point) are rounded and laid out inline; all others go through
// editFixed. Writes the same characters as editFixed.
template <std::size_t width, int decimals>
inline void editFixedField(char* field, double value) {
  static_assert(width <= std::size_t{maxFieldWidth} && decimals >= 0 &&
                decimals <= maxFixedDecimals && static_cast<std::size_t>(decimals) < width);
  using namespace field_editing_detail;
  constexpr int maxInlineDecimals = 3;  // the scaled mantissa stays in 64 bits
  constexpr int integerColumns = 8;
  if constexpr (std::endian::native == std::endian::little && decimals >= 0 &&
                decimals <= maxInlineDecimals &&
                width >= static_cast<std::size_t>(integerColumns + decimals + 2)) {
    const DoubleBits parts = decompose(value);
    // |value| = mantissa * 2^-shift exactly, for shifts of 1 to 63: normal
    // numbers from 2^-11 up to, not including, 2^52. Being normal, they
    // all have the hidden bit, which spares the tests for subnormals.
    constexpr int unitExponent = doubleExponentBias + doubleFractionBits;
    const int shift = unitExponent - parts.biasedExponent();
    if (shift >= 1 && shift <= 63) {
      constexpr std::uint64_t scale = powersOfTen[decimals];
      const std::uint64_t mantissa = parts.fraction() | doubleHiddenBit;
      const std::uint64_t scaled = mantissa * scale;  // below 2^63
      // To the nearest, a tie to the even neighbour: a remainder of exactly
      // a half carries only onto an odd quotient.
      const std::uint64_t half = std::uint64_t{1} << (shift - 1);
      const std::uint64_t odd = (scaled >> shift) & 1;
      const std::uint64_t rounded = (scaled + (half - 1) + odd) >> shift;
      const std::uint64_t integerPart = rounded / scale;
      char* const point = field + width - decimals - 1;
      const auto writeFraction = [&] {
        const auto fraction = static_cast<std::uint32_t>(rounded - integerPart * scale);
        if constexpr (decimals == 3) {
          std::memcpy(point, &pointAndThreeDigits[4 * fraction], 4);
        } else {
          putDigits32(field + width, fraction, decimals);
          *point = '.';
        }
      };
      const bool minus = parts.negative() && rounded != 0;
      constexpr std::uint64_t eightDigitLimit = powersOfTen[integerColumns];
      if (integerPart < eightDigitLimit) {
        writeFraction();
        // Eight integer columns, in which the zeros in front become blanks;
        // the last column shows a "0" for a zero integer part.
        const std::uint64_t digits = eightDigits(static_cast<std::uint32_t>(integerPart));
        const int leadingZeros = std::countr_zero(digits | std::uint64_t{1} << 56) >> 3;
        const std::uint64_t leading = (std::uint64_t{1} << (8 * leadingZeros)) - 1;
        std::uint64_t text = (digits | 0x3030303030303030ULL) - (leading & 0x1010101010101010ULL);
        // The if constexpr above keeps this count at least 1; the checker
        // weighs it for narrower fields too.
        // cppcheck-suppress invalidFunctionArg
        std::memset(field, ' ', width - decimals - 1 - integerColumns);
        if (minus) {
          // "-" (0x2D) over the blank (0x20) in front of the first digit.
          if (leadingZeros > 0) {
            text += std::uint64_t{0x0D} << (8 * (leadingZeros - 1));
          } else {
            point[-integerColumns - 1] = '-';
          }
        }
        std::memcpy(point - integerColumns, &text, integerColumns);
        return;
      }
      // Nine or ten integer digits, as carrier phases reach after days of
      // tracking, where the field has ten integer columns: eight in one
      // word, the one or two in front as a pair, the sign in front of them.
      constexpr std::size_t pairColumn = width - static_cast<std::size_t>(decimals) - 11;
      if constexpr (width >= static_cast<std::size_t>(decimals) + 11) {
        constexpr std::uint64_t tenDigitLimit = powersOfTen[integerColumns + 2];
        const std::size_t needed = (integerPart < powersOfTen[integerColumns + 1] ? 9 : 10) +
                                   static_cast<std::size_t>(decimals) + 1 + (minus ? 1 : 0);
        if (integerPart < tenDigitLimit && needed <= width) {
          writeFraction();
          const std::uint64_t high = integerPart / eightDigitLimit;
          const std::uint64_t text =
              eightDigitsText(static_cast<std::uint32_t>(integerPart - high * eightDigitLimit));
          std::memcpy(point - integerColumns, &text, integerColumns);
          char* const pair = field + pairColumn;
          std::memset(field, ' ', pairColumn);
          std::memcpy(pair, &digitPairs[static_cast<std::size_t>(high) * 2], 2);
          // With one digit in front the sign takes the pair's first column;
          // with two, "needed" has left a column for it in front of the pair,
          // which a field of exactly ten integer columns does not have.
          if (high < 10) {
            pair[0] = minus ? '-' : ' ';
          } else if constexpr (pairColumn > 0) {
            if (minus) field[pairColumn - 1] = '-';
          }
          return;
        }
      }
    }
  }
  editFixed(field, width, decimals, value);
}

}  // namespace kapolex
