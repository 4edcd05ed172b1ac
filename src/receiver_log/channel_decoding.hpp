// Turns one channel record into the values an observation line prints: PRN,
// loss-of-lock and signal digits, raw carrier phase and pseudorange. Kept
// apart from the log reading so that each value can be checked on its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/gps_constants.hpp"
#include "common/measurement.hpp"
#include "common/numeric.hpp"
#include "receiver_log/measurement_body.hpp"

namespace kapolex {

// One code-phase count: 1/2048 of a C/A chip, 1 / (1023000 * 2048) s.
constexpr double codePhaseUnit = 4.773032746823069e-10;
// The carrier word's phase fraction counts 1/1024 cycle.
constexpr double phaseFractionUnit = 0.0009765625;
// The signal byte counts quarter dB-Hz; the digit steps every 8 dB-Hz.
constexpr double signalStepReciprocal = 0.03125;
constexpr double dbHzPerSignalCount = 0.25;

// The signal-strength digit 1 to 9 of an unsigned signal byte 0 to 255.
constexpr std::int32_t signalDigitOf(std::int32_t raw) {
  return nearestInteger(static_cast<double>(raw) * signalStepReciprocal) + 1;
}

// signalDigitOf of every signal byte, worked out while compiling: the channel
// decoding looks the digit up instead of rounding once per channel.
inline constexpr std::array<std::uint8_t, 256> signalDigits = [] {
  std::array<std::uint8_t, 256> digits{};
  for (std::int32_t raw = 0; raw < 256; ++raw) {
    digits[static_cast<std::size_t>(raw)] = static_cast<std::uint8_t>(signalDigitOf(raw));
  }
  return digits;
}();

// The PRN named by bits 0-5 of the PRN byte: 1 to 64.
constexpr std::int32_t channelPrn(std::uint8_t prnByte) {
  return (prnByte & 0x3F) + 1;
}

// The loss-of-lock digit: 5 when either tracking flag is set, else 4.
constexpr std::int32_t lossOfLockDigit(std::uint32_t carrierWord) {
  return (carrierWord & 3u) != 0 ? lossOfLockSet : lossOfLockClear;
}

// The carrier phase in cycles as the receiver counts it, in [0, 1048576).
constexpr double rawCarrierPhase(std::uint32_t carrierWord) {
  // The receiver reports whole cycles in the top 20 bits, unsigned, and the
  // fraction in 1/1024 cycle in the 10 bits below. whole + fraction / 1024
  // is exact in a double, and so is the 30-bit count of 1/1024 cycles
  // scaled by 2^-10: the same double, with one conversion instead of two.
  return static_cast<double>(carrierWord >> 2) * phaseFractionUnit;
}

// The fraction of its second that a non-negative receive time has run,
// exactly; it is the same for every channel of a message.
double secondFraction(double receiveTime);

// The C/A pseudorange in metres from the receive time's second fraction.
inline double pseudorange(double fraction, std::int32_t codePhase) {
  // The code phase is the transmit time's offset within the receiver's whole
  // second; a negative travel time means the second had just turned over.
  // The order of the steps fixes the printed digits.
  const double codeTime = static_cast<double>(codePhase) * codePhaseUnit;
  double travel = fraction - codeTime;
  if (travel < 0.0) travel = travel + 1.0;
  return travel * speedOfLight;
}

// All values of one channel; carrierPhase holds the raw phase, which the
// rollover repair has still to see.
inline ChannelMeasurement decodeChannel(const ChannelRecord& record, double fraction) {
  ChannelMeasurement channel;
  channel.prn = channelPrn(record.prnByte);
  channel.lossOfLock = lossOfLockDigit(record.carrierWord);
  channel.signalFlag = signalDigits[record.signalByte];
  channel.carrierToNoise = record.signalByte * dbHzPerSignalCount;
  channel.carrierPhase = rawCarrierPhase(record.carrierWord);
  channel.pseudorange = pseudorange(fraction, record.codePhase);
  return channel;
}

}  // namespace kapolex
