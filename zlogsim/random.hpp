// Deterministic pseudo-random numbers for the simulator. A seed must give the
// same log on every platform and standard library, so the generators are
// carried here instead of taken from <random>'s distributions.
#pragma once

#include <cstdint>

namespace zlogsim {

// One splitmix64 step: a bijective scramble of a 64-bit value.
constexpr std::uint64_t mix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A value fixed by the seed and the keys alone. Used wherever a random choice
// must not depend on how many numbers were drawn before it, so that one option
// (say, damage) never shifts what another part of the log looks like.
constexpr std::uint64_t hashKeys(std::uint64_t seed, std::uint64_t a, std::uint64_t b = 0,
                                 std::uint64_t c = 0) {
  return mix64(mix64(mix64(mix64(seed) ^ a) ^ b) ^ c);
}

// xoshiro256** stream, seeded through splitmix64.
class Random {
 public:
  explicit constexpr Random(std::uint64_t seed) {
    for (std::uint64_t& word : state_) {
      seed += 0x9E3779B97F4A7C15ULL;
      word = mix64(seed);
    }
  }

  // Next 64 raw bits.
  constexpr std::uint64_t next() {
    const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotl(state_[3], 45);
    return result;
  }

  // Uniform in [0, 1), 53 bits.
  constexpr double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  // Uniform integer in [0, n) for n > 0 (multiply-shift; the bias is far below
  // anything a test could notice, and it needs no retry loop).
  constexpr std::uint32_t below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
  }

  constexpr std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 56); }

 private:
  static constexpr std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t state_[4] = {};
};

}  // namespace zlogsim
