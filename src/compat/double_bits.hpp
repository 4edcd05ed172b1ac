// The fields of a double as IEEE 754 binary64 lays them out: sign, biased
// exponent and fraction. Every routine that works on a double's exact
// binary value (the field editors, the portable to_chars) reads them here,
// so that the layout's widths and bias are written once. Not a shim: it
// lives in compat, the lowest layer, because the portable to_chars there
// needs it as much as the record editing above does.
#pragma once

#include <cstdint>
#include <limits>

#include "compat/bit_cast.hpp"

namespace kapolex {

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == sizeof(std::uint64_t),
              "kapolex takes the double for IEEE 754 binary64");

// The layout: 1 sign bit, 11 exponent bits, 52 fraction bits. A normal
// number's significand has a hidden 1 above the fraction.
inline constexpr int doubleFractionBits = 52;
inline constexpr int doubleExponentBits = 11;
inline constexpr int doubleExponentBias = 1023;
inline constexpr int doubleSignBit = doubleFractionBits + doubleExponentBits;
inline constexpr std::uint64_t doubleFractionMask = (std::uint64_t{1} << doubleFractionBits) - 1;
inline constexpr std::uint64_t doubleHiddenBit = std::uint64_t{1} << doubleFractionBits;
// The biased exponent of zero and subnormals, and of infinities and NaNs
// (all exponent bits set: also the exponent field's mask).
inline constexpr int doubleSubnormalExponent = 0;
inline constexpr int doubleSpecialExponent = (1 << doubleExponentBits) - 1;

// A double's bits, read field by field. Each field is taken out of the bits
// where it is asked for, so that a caller pays only for the fields it uses
// (the sign stays a test of the top bit).
struct DoubleBits {
  std::uint64_t bits = 0;

  // The sign bit: also set on -0 and on a NaN that carries it.
  constexpr bool negative() const { return (bits >> doubleSignBit) != 0; }
  // 0 for zero and subnormals, 2047 for infinities and NaNs.
  constexpr int biasedExponent() const {
    return static_cast<int>((bits >> doubleFractionBits) & std::uint64_t{doubleSpecialExponent});
  }
  // The 52 stored bits of the significand.
  constexpr std::uint64_t fraction() const { return bits & doubleFractionMask; }
  // Neither an infinity nor a NaN.
  constexpr bool isFinite() const { return biasedExponent() != doubleSpecialExponent; }
  // The significand as a whole number below 2^53: the fraction with the
  // hidden bit, which zero and subnormals do not have.
  constexpr std::uint64_t significand() const {
    return biasedExponent() == doubleSubnormalExponent ? fraction() : fraction() | doubleHiddenBit;
  }
  // The power of two of the significand's last bit: a finite |value| is
  // exactly significand() * 2^exponent(), from -1074 to 971.
  constexpr int exponent() const {
    const int biased = biasedExponent();
    return (biased == doubleSubnormalExponent ? 1 : biased) - doubleExponentBias -
           doubleFractionBits;
  }
};

// value's bits, to be read by their fields.
constexpr DoubleBits decompose(double value) noexcept {
  return {bitCast<std::uint64_t>(value)};
}

}  // namespace kapolex
