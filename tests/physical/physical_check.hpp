// Converts a simulated log with the real programs and checks the observation
// file against physics: every kept epoch must give back the simulated
// receiver's position and clock, and the carrier phase must follow the range.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kapolex::physical {

// What a check measured. Distances in metres.
struct PhysicalFindings {
  std::size_t logEpochs = 0;   // measurement messages in the log
  std::size_t keptEpochs = 0;  // epochs in the observation file
  std::size_t observations = 0;
  std::size_t fewestSatellites = 0;
  double largestPositionError = 0.0;
  std::string worstPositionEpoch;
  double worstPositionDop = 0.0;        // at that epoch
  double largestDop = 0.0;              // of any epoch
  double largestClockError = 0.0;       // c times the clock offset's error
  double largestResidual = 0.0;         // of any pseudorange after the fit
  std::size_t phasePairs = 0;           // satellite in two consecutive kept epochs, lock kept
  std::size_t lockLostPairs = 0;        // same, but loss of lock flagged: not compared
  std::size_t acquisitions = 0;         // observations flagged with loss of lock
  double largestPhaseMinusCode = 0.0;   // |change of L1 x wavelength - change of C1|
  double largestPhaseMinusModel = 0.0;  // |same - (change of range + c x change of clock)|
  std::size_t upwardWraps = 0;    // pairs across which the raw phase passed 2^20 cycles upwards
  std::size_t downwardWraps = 0;  // ... downwards past 0
  std::size_t weekChanges = 0;    // GPS week changes between consecutive kept epochs
};

std::string describe(const PhysicalFindings& f);

// Writes z.log with zlogsim and these arguments (the output option is added),
// converts it with kapolex and its arguments, answering the log's first GPS
// week, reads z.obs back and checks it (L1C and C1C of a RINEX 3.04 file
// when the arguments ask for version 3). Faults of form, dating, decimation or content are
// reported as test failures; the measured figures are returned for the caller
// to hold against its limits. Nothing when the run could not be checked.
std::optional<PhysicalFindings> checkConversion(
    const std::vector<std::string>& zlogsimArguments,
    const std::vector<std::string>& kapolexArguments = {});

}  // namespace kapolex::physical
