// How the receiver turns physical quantities into the raw numbers of a
// channel record: the code phase, the packed carrier word and the signal
// byte. These are the exact inverses of what a reader of the log computes.
#pragma once

#include <cstdint>

namespace zlogsim {

// One code-phase count is 1/2048 of a C/A chip; a second has this many.
inline constexpr std::int64_t codePhaseCountsPerSecond = 1023000LL * 2048LL;
inline constexpr double codePhaseUnit = 4.773032746823069e-10;  // s, 1 / counts per second

// Whole cycles in the carrier word wrap at 2^20; the fraction has 10 bits.
inline constexpr std::int64_t carrierWrapCycles = std::int64_t{1} << 20;
inline constexpr double carrierResolution = 1.0 / 1024.0;  // cycles

// Tracking flags (carrier word bits 0-1) a receiver raises while the carrier
// loop settles after acquisition.
inline constexpr unsigned flagPhaseUnlocked = 1U;
inline constexpr unsigned flagHalfCycleUnknown = 2U;

// The code phase for a receive time (seconds of week, as reported) and a
// pseudorange (m): the transmit time's fraction of a second in counts, in
// [0, counts per second). A reader forms ((frac(t) - count * unit) mod 1 s) * c
// and gets the pseudorange back within half a count (7.2 cm).
std::int32_t codePhaseFor(double receiveTime, double pseudorange);

// The carrier word for an accumulated phase in cycles (any sign): the phase
// rounded to 1/1024 cycle and taken modulo 2^20 cycles, whole cycles in bits
// 12-31, fraction in bits 2-11, the two tracking flags in bits 0-1.
std::uint32_t packCarrierWord(double cycles, unsigned trackingFlags);

// The carrier word with `cycles` whole cycles added to its phase, modulo 2^20
// cycles; fraction and flags unchanged.
constexpr std::uint32_t addWholeCycles(std::uint32_t word, std::int64_t cycles) {
  // Unsigned arithmetic wraps modulo 2^32, i.e. 2^20 cycles in bits 12-31.
  return word + (static_cast<std::uint32_t>(cycles) << 12);
}

// The signal byte, C/N0 in quarter dB-Hz, for a satellite at the given sine of
// elevation: about 30 dB-Hz at the horizon rising to 50 at the zenith, plus
// `jitter` dB-Hz; clamped to 0..255.
std::uint8_t signalByteFor(double sinElevation, double jitter);

}  // namespace zlogsim
