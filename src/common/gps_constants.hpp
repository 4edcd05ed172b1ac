// The physical and calendar constants of GPS that more than one subsystem
// needs: the decoding turns code time into metres with the speed of light,
// the quality check turns cycles into metres with the L1 wavelength, and
// both count time in days and weeks.
#pragma once

#include <cstdint>

namespace kapolex {

constexpr double speedOfLight = 299792458.0;                 // m/s
constexpr double l1Frequency = 1575.42e6;                    // Hz
constexpr double l1Wavelength = speedOfLight / l1Frequency;  // m

constexpr double secondsPerDay = 86400.0;
constexpr double secondsPerWeek = 604800.0;
// The same, for counting whole seconds.
constexpr std::int64_t wholeSecondsPerMinute = 60;
constexpr std::int64_t wholeSecondsPerHour = 3600;
constexpr std::int64_t wholeSecondsPerDay = 86400;
constexpr std::int64_t wholeSecondsPerWeek = 604800;

// Modified Julian Date of the start of GPS week 0, 1980-01-06.
constexpr std::int32_t gpsEpochMjd = 44244;

// The loss-of-lock digit of a record whose tracking flags are clear, and of
// one where the receiver set one.
constexpr std::int32_t lossOfLockClear = 4;
constexpr std::int32_t lossOfLockSet = 5;

}  // namespace kapolex
