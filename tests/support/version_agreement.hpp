// The check that a RINEX 3.04 file holds what the RINEX 2.10 file of the same
// epochs holds, both read back by the strict reader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "physical/rinex_observation_reader.hpp"

namespace kapolex::testing {

// Reads an observation file; each fault of form is a test failure.
inline physical::ObservationFile readClean(const std::string& text, const std::string& what) {
  const physical::ReadResult read = physical::readObservationFile(text);
  for (const std::string& problem : read.problems) ADD_FAILURE() << what << ": " << problem;
  return read.file;
}

// RINEX 3's loss-of-lock digit for RINEX 2's: bit 0 (lost lock) alone, as
// bit 2 (anti-spoofing in RINEX 2) means BOC tracking in RINEX 3; a blank
// stays blank.
inline int rinex3LossOfLock(int rinex2Digit) {
  return rinex2Digit < 0 ? rinex2Digit : rinex2Digit & 1;
}

// Expects the same epoch times, satellites, values and digits in both files:
// RINEX 3's C1C, L1C and S1C are RINEX 2's C1, L1 and S1 in another order,
// and its loss-of-lock digits keep bit 0 of RINEX 2's.
inline void expectSameObservations(const physical::ObservationFile& rinex2,
                                   const physical::ObservationFile& rinex3) {
  EXPECT_EQ(rinex2.header.version, "2.10");
  EXPECT_EQ(rinex3.header.version, "3.04");
  const std::vector<std::string>& types2 = rinex2.header.observationTypes;
  const std::vector<std::string>& types3 = rinex3.header.observationTypes;
  std::vector<std::size_t> rinex2Column;
  for (const std::string& type : types3) {
    const auto at = std::find(types2.begin(), types2.end(), type.substr(0, 2));
    ASSERT_TRUE(type.size() == 3 && type[2] == 'C' && at != types2.end()) << type;
    rinex2Column.push_back(static_cast<std::size_t>(at - types2.begin()));
  }
  ASSERT_EQ(types3.size(), types2.size());
  ASSERT_EQ(rinex3.epochs.size(), rinex2.epochs.size());
  int differences = 0;
  const auto differ = [&differences](const std::string& what) {
    if (++differences <= 10) ADD_FAILURE() << what;
  };
  for (std::size_t n = 0; n < rinex2.epochs.size(); ++n) {
    const physical::ObservationEpoch& a = rinex2.epochs[n];
    const physical::ObservationEpoch& b = rinex3.epochs[n];
    if (a.time.year != b.time.year || a.time.month != b.time.month || a.time.day != b.time.day ||
        a.time.hour != b.time.hour || a.time.minute != b.time.minute ||
        a.time.second != b.time.second || a.flag != b.flag) {
      differ("epoch " + std::to_string(n) + ": time or flag");
    }
    if (a.satellites != b.satellites) {
      differ("epoch " + std::to_string(n) + ": satellites");
      continue;
    }
    for (std::size_t s = 0; s < a.satellites.size(); ++s) {
      for (std::size_t t = 0; t < rinex2Column.size(); ++t) {
        const physical::Observation& x = a.observations[s][rinex2Column[t]];
        const physical::Observation& y = b.observations[s][t];
        if (x.value != y.value || rinex3LossOfLock(x.lossOfLock) != y.lossOfLock ||
            x.signalStrength != y.signalStrength) {
          differ("epoch " + std::to_string(n) + " " + a.satellites[s] + " " + types3[t]);
        }
      }
    }
  }
}

}  // namespace kapolex::testing
