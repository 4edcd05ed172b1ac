// Whole conversions in memory in RINEX 2.10 and 3.04: simulated logs give
// the same epochs, numbers and digits in both, and a run that stops keeps a
// true TIME OF LAST OBS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_builder.hpp"
#include "support/memory_run.hpp"
#include "support/program_run.hpp"
#include "support/version_agreement.hpp"

namespace kapolex {
namespace {

using testing::convertInMemory;
using testing::readClean;

std::vector<std::uint8_t> simulatedLog(const std::vector<std::string>& arguments) {
  const std::optional<std::string> log = testing::simulatedLog(arguments);
  if (!log) ADD_FAILURE() << "zlogsim failed";
  return log ? std::vector<std::uint8_t>(log->begin(), log->end()) : std::vector<std::uint8_t>();
}

HeaderFields fieldsOf(const RinexDialect& dialect, bool withSnr, bool withLastObservation,
                      std::int32_t interval) {
  HeaderFields fields;
  fields.dialect = &dialect;
  fields.withSnr = withSnr;
  fields.withLastObservation = withLastObservation;
  fields.intervalSeconds = interval;
  return fields;
}

TEST(Rinex3Conversion, SimulatedLogsGiveTheValuesOfRinex2) {
  struct Case {
    const char* name;
    std::vector<std::string> zlogsim;
    std::int32_t interval;
    std::size_t epochs;
  };
  const Case cases[] = {
      {"an hour at 1 Hz with lock losses, slips and other messages",
       {"--duration", "3600", "--lock-loss", "3", "--slips", "1", "--other", "1", "--seed", "5"},
       5,
       720},
      // Every rounded receive time is a whole second: all epochs are kept.
      {"ten minutes at 2 Hz under ID 151 across the week end, 1-second decimation",
       {"--cross-week-end", "--duration", "600", "--rate", "2", "--id", "151"},
       1,
       1200},
      {"a damaged half hour with 30-second decimation",
       {"--duration", "1800", "--garbage", "0.01", "--corrupt", "0.01", "--seed", "9"},
       30,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> log = simulatedLog(c.zlogsim);
    for (const bool withSnr : {false, true}) {
      const testing::MemoryRun rinex2 =
          convertInMemory(log, "1356\n", fieldsOf(rinex2Dialect, withSnr, false, c.interval));
      const testing::MemoryRun rinex3 =
          convertInMemory(log, "1356\n", fieldsOf(rinex3Dialect, withSnr, true, c.interval));
      ASSERT_EQ(rinex2.status, 0) << rinex2.errors;
      ASSERT_EQ(rinex3.status, 0) << rinex3.errors;
      EXPECT_EQ(rinex3.console, rinex2.console);
      const physical::ObservationFile file2 = readClean(rinex2.observations, "RINEX 2");
      const physical::ObservationFile file3 = readClean(rinex3.observations, "RINEX 3");
      if (c.epochs != 0) {
        EXPECT_EQ(file3.epochs.size(), c.epochs);
      }
      EXPECT_GT(file3.epochs.size(), 10U);
      EXPECT_TRUE(file3.header.lastObservation);
      testing::expectSameObservations(file2, file3);
    }
  }
}

// A log whose sixth message names a PRN outside 1 to 32: the run stops after
// five kept epochs.
std::vector<std::uint8_t> logStoppingAtTheSixthEpoch() {
  using testing::ChannelRecord;
  testing::LogBuilder log;
  std::vector<ChannelRecord> channels(8);
  for (int k = 0; k < 6; ++k) {
    for (int c = 0; c < 8; ++c) {
      channels[static_cast<std::size_t>(c)] = {
          static_cast<std::uint8_t>(k == 5 && c == 3 ? 0x27 : 3 * c), 180, 100000 * c - 3 * k,
          testing::carrierWord(static_cast<std::uint32_t>(1000 * k + 7919 * c), 17), 0};
    }
    log.measurement(5.0 * k, channels);
  }
  return log.bytes();
}

TEST(Rinex3Conversion, StoppedRunKeepsATrueTimeOfLastObs) {
  const std::vector<std::uint8_t> log = logStoppingAtTheSixthEpoch();
  for (const RinexDialect* dialect : {&rinex2Dialect, &rinex3Dialect}) {
    const testing::MemoryRun run =
        convertInMemory(log, "1356\n", fieldsOf(*dialect, false, true, 5));
    EXPECT_EQ(run.status, 98463);
    EXPECT_EQ(run.errors, "98463\n");
    const physical::ObservationFile file = readClean(run.observations, "stopped run");
    ASSERT_EQ(file.epochs.size(), 5U);
    ASSERT_TRUE(file.header.lastObservation);
    EXPECT_EQ(file.header.lastObservation->second, 20.0);
  }
}

}  // namespace
}  // namespace kapolex
