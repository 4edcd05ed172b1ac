// How well the suspected slips of a report match the slips zlogsim
// injected: the detection rate of the slips a detector can see, and the
// suspected slips where none was injected.
#pragma once

#include <cstdint>

#include "qc/quality_report.hpp"
#include "zlogsim_truth.hpp"

namespace kapolex::testing {

struct SlipScore {
  // Injected slips of at least 20 cycles at a record that follows the
  // satellite's previous record within two intervals, without a tracking
  // flag, the only slip since that record; and those of them found.
  std::int64_t eligible = 0;
  std::int64_t found = 0;
  // The same for 20 to 49 cycles, the hardest to see.
  std::int64_t eligibleSmall = 0;
  std::int64_t foundSmall = 0;
  // Suspected slips, and those with no slip injected since the satellite's
  // previous record.
  std::int64_t suspected = 0;
  std::int64_t falseSlips = 0;
  std::int64_t satelliteEpochs = 0;

  double detectionRate() const;
  double falsePer10000() const;
};

// Scores a report whose slip list holds every suspected slip against the
// truth of its log, which must have its rows.
SlipScore scoreSlips(const QualityReport& report, const SimulatedLog& truth);

// Adds another run's counts.
SlipScore& operator+=(SlipScore& total, const SlipScore& more);

}  // namespace kapolex::testing
