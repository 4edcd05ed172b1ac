// One decoded measurement message and its per-satellite values: exactly what
// one epoch block of the observation file prints.
#pragma once

#include <array>
#include <cstdint>

#include "common/epoch_time.hpp"
#include "common/gps_constants.hpp"

namespace kapolex {

// The GPS PRNs 1 to 32 that a channel may name.
constexpr int prnCount = 32;

// Epochs are kept every 5 seconds of receive time unless a run asks for
// another interval.
constexpr std::int32_t defaultDecimationSeconds = 5;

struct ChannelMeasurement {
  std::int32_t prn = 0;                       // 1 to 32 once the rollover repair accepted it
  double carrierPhase = 0.0;                  // L1 cycles, rollover repaired
  double pseudorange = 0.0;                   // C1 metres
  std::int32_t lossOfLock = lossOfLockClear;  // lossOfLockSet when a tracking flag is set
  std::int32_t signalFlag = 1;                // 1 to 9
  double carrierToNoise = 0.0;                // C/N0 in dB-Hz, as the signal byte reports it
  std::int32_t rolloverStep = 0;  // the wrap the rollover repair counted here: -1, 0 or 1
};

// The channel count is one byte, so a message can carry up to 255 channels;
// all of them are kept and written.
constexpr int maxChannels = 255;

struct MeasurementEpoch {
  double receiveTime = 0.0;
  std::int32_t week = 0;  // the GPS week the receive time falls in, as followed
  EpochTime time;         // the calendar date and time of a kept epoch
  std::int32_t channelCount = 0;
  std::array<ChannelMeasurement, maxChannels> channels{};
};

}  // namespace kapolex
