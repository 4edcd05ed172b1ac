#include "measure/rollover.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/run_stop.hpp"

namespace kapolex {
namespace {

// A rollover history in which PRN prn has counted count wraps and last saw
// phase, reached through repairPhase alone: steps below the threshold count
// nothing, a fall from near the top to near 0 counts one wrap up and a rise
// from near 0 to near the top one wrap down.
PhaseRollover historyOf(std::int32_t prn, std::int64_t count, double phase) {
  PhaseRollover rollover;
  const double up[] = {500000.0, 1000000.0, 100.0};
  const double down[] = {1000000.0, 500000.0, 100.0};
  for (std::int64_t n = 0; n < std::abs(count); ++n) {
    for (const double raw : count > 0 ? up : down) rollover.repairPhase(prn, raw);
  }
  double last = count == 0 ? 0.0 : 100.0;
  while (std::abs(phase - last) > 500000.0) {
    last += phase > last ? 500000.0 : -500000.0;
    rollover.repairPhase(prn, last);
  }
  rollover.repairPhase(prn, phase);
  return rollover;
}

TEST(Rollover, SequencesPerPrn) {
  struct Case {
    std::int32_t prn;
    std::vector<double> raw;
    std::vector<double> written;
    std::int64_t count;
    std::int64_t startCount = 0;
    double startPhase = 0.0;
  };
  const Case cases[] = {
      {5, {1000.5}, {1000.5}, 0},
      {7, {1000000.0}, {-48576.0}, -1},  // a first phase above the threshold counts
      {9, {500000.0, 1048000.0, 200.0, 900.0}, {500000.0, 1048000.0, 1048776.0, 1049476.0}, 1},
      {3, {300.0, 1048376.0}, {300.0, -200.0}, -1},
      {1, {943718.0}, {943718.0}, 0},
      {32, {943718.5}, {-104857.5}, -1},
      {7, {1000000.0, 1048000.0, 100.0}, {-48576.0, -576.0, 100.0}, 0},  // back to 0
      // Counts whose correction leaves 32 bits.
      {2, {1000000.0}, {1000000.0 - 2147483648.0}, -2048, -2047},
      {2, {100.0}, {2147483748.0}, 2048, 2047, 1000000.0},
      {2, {20.0}, {5242880020.0}, 5000, 5000, 10.0},
  };
  for (const Case& c : cases) {
    PhaseRollover rollover = historyOf(c.prn, c.startCount, c.startPhase);
    ASSERT_EQ(rollover.wrapCount(c.prn), c.startCount);
    ASSERT_EQ(rollover.previousRawPhase(c.prn), c.startPhase);
    for (std::size_t i = 0; i < c.raw.size(); ++i) {
      EXPECT_EQ(rollover.repairPhase(c.prn, c.raw[i]), c.written[i])
          << "PRN " << c.prn << " call " << i;
    }
    EXPECT_EQ(rollover.previousRawPhase(c.prn), c.raw.back()) << c.prn;
    EXPECT_EQ(rollover.wrapCount(c.prn), c.count) << c.prn;
  }
}

TEST(Rollover, PrnOutsideTableStopsWithoutTouchingIt) {
  for (std::int32_t prn : {0, 33, 64, -1, std::numeric_limits<std::int32_t>::min()}) {
    PhaseRollover rollover;
    for (std::int32_t known = 1; known <= prnCount; ++known) rollover.repairPhase(known, 1000000.0);
    const PhaseRollover before = rollover;
    try {
      rollover.repairPhase(prn, 999999.0);
      ADD_FAILURE() << "PRN " << prn << " accepted";
    } catch (const RunStop& stop) {
      EXPECT_EQ(stop.kind(), RunStop::Kind::prnOutOfRange);
    }
    for (std::int32_t known = 1; known <= prnCount; ++known) {
      EXPECT_EQ(rollover.previousRawPhase(known), before.previousRawPhase(known));
      EXPECT_EQ(rollover.wrapCount(known), before.wrapCount(known));
    }
  }
}

}  // namespace
}  // namespace kapolex
