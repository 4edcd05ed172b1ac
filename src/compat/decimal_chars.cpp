#include "compat/decimal_chars.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

#include "compat/bit_cast.hpp"

namespace kapolex {

namespace {

// An unsigned integer in 32-bit limbs, lowest first. The largest number the
// conversions meet is a 53-bit significand times 10^1074 (every decimal of
// the smallest subnormal): 3,621 bits.
class BigNumber {
 public:
  explicit BigNumber(std::uint64_t value) {
    while (value != 0) {
      limbs_[size_++] = static_cast<std::uint32_t>(value);
      value >>= 32;
    }
  }

  bool isZero() const { return size_ == 0; }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < size_; ++i) {
      const std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) push(static_cast<std::uint32_t>(carry));
  }

  void multiplyByPowerOf10(int exponent) {
    for (; exponent >= 9; exponent -= 9) multiply(1'000'000'000);
    std::uint32_t factor = 1;
    for (; exponent > 0; --exponent) factor *= 10;
    if (factor != 1) multiply(factor);
  }

  void shiftLeft(int bits) {
    if (isZero() || bits == 0) return;
    const auto limbShift = static_cast<std::size_t>(bits / 32);
    const int bitShift = bits % 32;
    assert(size_ + limbShift + 1 <= capacity);
    if (bitShift != 0) {
      std::uint32_t carry = 0;
      for (std::size_t i = 0; i < size_; ++i) {
        const std::uint32_t limb = limbs_[i];
        limbs_[i] = (limb << bitShift) | carry;
        carry = limb >> (32 - bitShift);
      }
      if (carry != 0) push(carry);
    }
    if (limbShift != 0) {
      std::memmove(&limbs_[limbShift], &limbs_[0], size_ * sizeof limbs_[0]);
      std::fill_n(limbs_.begin(), limbShift, 0u);
      size_ += limbShift;
    }
  }

  void shiftRight(int bits) {
    const auto limbShift = static_cast<std::size_t>(bits / 32);
    const int bitShift = bits % 32;
    if (limbShift >= size_) {
      size_ = 0;
      return;
    }
    std::memmove(&limbs_[0], &limbs_[limbShift], (size_ - limbShift) * sizeof limbs_[0]);
    size_ -= limbShift;
    if (bitShift != 0) {
      for (std::size_t i = 0; i < size_; ++i) {
        const std::uint32_t above = i + 1 < size_ ? limbs_[i + 1] : 0;
        limbs_[i] = (limbs_[i] >> bitShift) | (above << (32 - bitShift));
      }
    }
    trim();
  }

  // Whether bit n (0 the lowest) is set.
  bool bit(int n) const {
    const auto limb = static_cast<std::size_t>(n / 32);
    return limb < size_ && ((limbs_[limb] >> (n % 32)) & 1u) != 0;
  }

  // Whether any bit below bit n is set.
  bool anyBitBelow(int n) const {
    const auto fullLimbs = static_cast<std::size_t>(n / 32);
    for (std::size_t i = 0; i < std::min(fullLimbs, size_); ++i) {
      if (limbs_[i] != 0) return true;
    }
    if (fullLimbs >= size_ || n % 32 == 0) return false;
    return (limbs_[fullLimbs] & ((1u << (n % 32)) - 1)) != 0;
  }

  void add(const BigNumber& other) {
    std::uint64_t carry = 0;
    const std::size_t size = std::max(size_, other.size_);
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t sum = std::uint64_t{limb(i)} + std::uint64_t{other.limb(i)} + carry;
      limbs_[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
    size_ = size;
    if (carry != 0) push(static_cast<std::uint32_t>(carry));
  }

  // Requires other <= *this.
  void subtract(const BigNumber& other) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < size_; ++i) {
      std::int64_t difference = std::int64_t{limbs_[i]} - std::int64_t{other.limb(i)} - borrow;
      borrow = difference < 0 ? 1 : 0;
      if (difference < 0) difference += std::int64_t{1} << 32;
      limbs_[i] = static_cast<std::uint32_t>(difference);
    }
    assert(borrow == 0);
    trim();
  }

  // Divides by divisor and returns the remainder.
  std::uint32_t divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = size_; i-- > 0;) {
      const std::uint64_t part = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(part / divisor);
      remainder = part % divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

  // -1, 0 or 1 as a is below, equal to or above b.
  friend int compare(const BigNumber& a, const BigNumber& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (std::size_t i = a.size_; i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

  // The decimal digits, without leading zeros ("" for zero).
  std::string decimalDigits() const {
    BigNumber rest = *this;
    std::string digits;
    while (!rest.isZero()) {
      std::uint32_t group = rest.divide(1'000'000'000);
      for (int i = 0; i < 9; ++i, group /= 10)
        digits.push_back(static_cast<char>('0' + group % 10));
    }
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    std::reverse(digits.begin(), digits.end());
    return digits;
  }

 private:
  static constexpr std::size_t capacity = 116;

  std::uint32_t limb(std::size_t i) const { return i < size_ ? limbs_[i] : 0; }
  void push(std::uint32_t limb) {
    assert(size_ < capacity);
    limbs_[size_++] = limb;
  }
  void trim() {
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  std::array<std::uint32_t, capacity> limbs_{};
  std::size_t size_ = 0;
};

// compare(a + b, c).
int compareSum(const BigNumber& a, const BigNumber& b, const BigNumber& c) {
  BigNumber sum = a;
  sum.add(b);
  return compare(sum, c);
}

// A finite double as significand * 2^exponent, the significand a whole
// number below 2^53.
struct BinaryValue {
  bool negative;
  std::uint64_t significand;
  int exponent;
  bool lowerGapHalved;  // a power of two above the smallest normal: the
                        // double below it is half as far as the one above
};

constexpr int significandBits = 52;
constexpr int exponentBias = 1075;
constexpr std::uint64_t significandMask = (std::uint64_t{1} << significandBits) - 1;

BinaryValue binaryValue(double value) {
  const auto bits = bitCast<std::uint64_t>(value);
  const auto biased = static_cast<int>((bits >> significandBits) & 0x7ff);
  const std::uint64_t fraction = bits & significandMask;
  const bool negative = (bits >> 63) != 0;
  if (biased == 0) return {negative, fraction, 1 - exponentBias, false};
  return {negative, fraction | (std::uint64_t{1} << significandBits), biased - exponentBias,
          fraction == 0 && biased > 1};
}

// floor(log10(2^n)) for |n| below 1,650.
int floorLog10OfPowerOf2(int n) {
  return (n * 78913) >> 18;
}

int bitLength(std::uint64_t n) {
  int length = 0;
  for (; n != 0; n >>= 1) ++length;
  return length;
}

// Copies text to [first, last), as to_chars reports it.
std::to_chars_result put(char* first, char* last, const std::string& text) {
  if (static_cast<std::size_t>(last - first) < text.size()) {
    return {last, std::errc::value_too_large};
  }
  text.copy(first, text.size());
  return {first + text.size(), std::errc()};
}

// "inf", "-inf", "nan" or "-nan" for a value that is not finite; empty for
// a finite one.
std::string nonFiniteText(double value) {
  const auto bits = bitCast<std::uint64_t>(value);
  if (((bits >> significandBits) & 0x7ff) != 0x7ff) return {};
  const std::string sign = (bits >> 63) != 0 ? "-" : "";
  return sign + ((bits & significandMask) == 0 ? "inf" : "nan");
}

// The whole number significand * 2^exponent, or the part of it before the
// point, in decimal digits ("0" for zero).
std::string integerDigits(const BinaryValue& v) {
  BigNumber n(v.significand);
  if (v.exponent >= 0) {
    n.shiftLeft(v.exponent);
  } else {
    n.shiftRight(-v.exponent);
  }
  const std::string digits = n.decimalDigits();
  return digits.empty() ? "0" : digits;
}

// The shortest digits d1 d2 ... dn and the exponent k such that 0.d1...dn
// * 10^k reads back as the value, the nearest of equally short ones, after
// Burger and Dybvig's free-format algorithm in exact arithmetic: r / s is
// the value, (r + mPlus) / s and (r - mMinus) / s the midpoints to its
// neighbours, which read back as the value when its significand is even.
std::string shortestDigits(const BinaryValue& v, int& k) {
  BigNumber r(v.significand);
  BigNumber s(1);
  BigNumber mPlus(1);
  BigNumber mMinus(1);
  const int extra = v.lowerGapHalved ? 2 : 1;
  if (v.exponent >= 0) {
    r.shiftLeft(v.exponent + extra);
    s.shiftLeft(extra);
    mPlus.shiftLeft(v.exponent + extra - 1);
    mMinus.shiftLeft(v.exponent);
  } else {
    r.shiftLeft(extra);
    s.shiftLeft(-v.exponent + extra);
    mPlus.shiftLeft(extra - 1);
  }
  const bool boundsReadBack = v.significand % 2 == 0;
  // An estimate never above the first digit's position; raised below.
  k = floorLog10OfPowerOf2(v.exponent + bitLength(v.significand) - 1);
  if (k >= 0) {
    s.multiplyByPowerOf10(k);
  } else {
    r.multiplyByPowerOf10(-k);
    mPlus.multiplyByPowerOf10(-k);
    mMinus.multiplyByPowerOf10(-k);
  }
  const auto highReached = [&] {
    const int order = compareSum(r, mPlus, s);
    return boundsReadBack ? order >= 0 : order > 0;
  };
  while (highReached()) {
    s.multiply(10);
    ++k;
  }
  std::string digits;
  for (;;) {
    r.multiply(10);
    mPlus.multiply(10);
    mMinus.multiply(10);
    char digit = '0';
    while (compare(r, s) >= 0) {
      r.subtract(s);
      ++digit;
    }
    const int lowOrder = compare(r, mMinus);
    const bool lowEnough = boundsReadBack ? lowOrder <= 0 : lowOrder < 0;
    const bool highEnough = highReached();
    if (!lowEnough && !highEnough) {
      digits.push_back(digit);
      continue;
    }
    if (lowEnough && highEnough) {
      // Both ends read back: the nearer one, halves to the even digit.
      BigNumber twice = r;
      twice.multiply(2);
      const int order = compare(twice, s);
      if (order > 0 || (order == 0 && (digit - '0') % 2 != 0)) ++digit;
    } else if (highEnough) {
      ++digit;
    }
    digits.push_back(digit);
    return digits;
  }
}

}  // namespace

std::to_chars_result portableFixedChars(char* first, char* last, double value) {
  if (const std::string text = nonFiniteText(value); !text.empty()) return put(first, last, text);
  const BinaryValue v = binaryValue(value);
  std::string text = v.negative ? "-" : "";
  if (v.significand == 0) return put(first, last, text + "0");
  // A whole number is written with all its digits, which the shortest
  // digits padded with zeros would not give beyond 2^53.
  const int fractionBits = v.exponent < 0 ? -v.exponent : 0;
  if (!BigNumber(v.significand).anyBitBelow(fractionBits)) {
    return put(first, last, text + integerDigits(v));
  }
  int k = 0;
  const std::string digits = shortestDigits(v, k);
  if (k <= 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-k), '0');
    text += digits;
  } else {
    // A value with a fraction has more digits than places before the point.
    const auto whole = static_cast<std::size_t>(k);
    assert(digits.size() > whole);
    text.append(digits, 0, whole);
    text += '.';
    text.append(digits, whole);
  }
  return put(first, last, text);
}

std::to_chars_result portableFixedChars(char* first, char* last, double value, int decimals) {
  if (const std::string text = nonFiniteText(value); !text.empty()) return put(first, last, text);
  if (decimals < 0) decimals = 6;
  const BinaryValue v = binaryValue(value);
  std::string digits;
  if (v.exponent >= 0) {
    digits = integerDigits(v);
    digits.append(static_cast<std::size_t>(decimals), '0');
  } else {
    // The exact value has at most -exponent decimals; any further ones are
    // zeros. round(significand * 10^d / 2^-exponent), halves to even.
    const int shift = -v.exponent;
    const int exactDecimals = std::min(decimals, shift);
    BigNumber scaled(v.significand);
    scaled.multiplyByPowerOf10(exactDecimals);
    const bool half = scaled.bit(shift - 1);
    const bool aboveHalf = half && scaled.anyBitBelow(shift - 1);
    scaled.shiftRight(shift);
    if (aboveHalf || (half && scaled.bit(0))) scaled.add(BigNumber(1));
    digits = scaled.decimalDigits();
    const auto width = static_cast<std::size_t>(exactDecimals) + 1;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    digits.append(static_cast<std::size_t>(decimals - exactDecimals), '0');
  }
  std::string text = v.negative ? "-" : "";
  const std::size_t whole = digits.size() - static_cast<std::size_t>(decimals);
  text.append(digits, 0, whole);
  if (decimals > 0) {
    text += '.';
    text.append(digits, whole);
  }
  return put(first, last, text);
}

}  // namespace kapolex
