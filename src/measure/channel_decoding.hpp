// Turns one channel record into the values an observation line prints: PRN,
// loss-of-lock and signal digits, raw carrier phase and pseudorange. Kept
// apart from the log reading so that each value can be checked on its own.
#pragma once

#include <cstdint>

#include "common/measurement.hpp"
#include "measure/measurement_body.hpp"

namespace kapolex {

constexpr double speedOfLight = 299792458.0;  // m/s
// One code-phase count: 1/2048 of a C/A chip, 1 / (1023000 * 2048) s.
constexpr double codePhaseUnit = 4.773032746823069e-10;
// The carrier word's phase fraction counts 1/1024 cycle.
constexpr double phaseFractionUnit = 0.0009765625;
// The signal byte counts quarter dB-Hz; the digit steps every 8 dB-Hz.
constexpr double signalStepReciprocal = 0.03125;

// The signal-strength digit 1 to 9 of an unsigned signal byte 0 to 255.
std::int32_t MAPSNR(std::int32_t raw);

// The PRN named by bits 0-5 of the PRN byte: 1 to 64.
std::int32_t channelPrn(std::uint8_t prnByte);

// The loss-of-lock digit: 5 when either tracking flag is set, else 4.
std::int32_t lossOfLockDigit(std::uint32_t carrierWord);

// The carrier phase in cycles as the receiver counts it, in [0, 1048576).
double rawCarrierPhase(std::uint32_t carrierWord);

// The fraction of its second that a non-negative receive time has run,
// exactly; it is the same for every channel of a message.
double secondFraction(double receiveTime);

// The C/A pseudorange in metres from the receive time's second fraction.
double pseudorange(double secondFraction, std::int32_t codePhase);

// All values of one channel; carrierPhase holds the raw phase, which the
// rollover repair has still to see.
ChannelMeasurement decodeChannel(const ChannelRecord& record, double secondFraction);

}  // namespace kapolex
