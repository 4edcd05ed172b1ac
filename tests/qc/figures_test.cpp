// The quality check's figures against the truth of logs simulated with
// zlogsim: every figure the truth defines exactly must match, over logs with
// slips, losses of lock, code noise, outages, other messages, inserted
// garbage, an interval that is no whole number of seconds and a week end;
// and the suspected slips must meet the detection and false-alarm rates on
// logs with realistic code noise.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "qc/report_format.hpp"
#include "qc_feed.hpp"
#include "slip_scoring.hpp"
#include "zlogsim_truth.hpp"

namespace kapolex::testing {
namespace {

struct FiguresCase {
  const char* name;
  std::vector<std::string> arguments;
  std::int32_t week;
};

std::ostream& operator<<(std::ostream& out, const FiguresCase& c) {
  return out << c.name;
}

void expectTime(const std::string& truth, const ReportTime& time, const std::string& what) {
  if (truth == "-") {
    ADD_FAILURE() << what << ": the truth has none";
    return;
  }
  EXPECT_EQ(truth, gpsTimeText(time.gps)) << what;
}

void expectLogFigures(const TruthFields& t, const LogFigures& log) {
  expectTime(t.at("first"), log.first, "first");
  expectTime(t.at("last"), log.last, "last");
  EXPECT_EQ(t.at("interval"), exactSeconds(log.interval));
  EXPECT_EQ(t.at("epochs"), std::to_string(log.epochs));
  EXPECT_EQ(t.at("expected"), std::to_string(log.expectedEpochs));
  EXPECT_EQ(t.at("gaps"), std::to_string(log.gaps));
  EXPECT_EQ(t.at("gap_epochs"), std::to_string(log.gapEpochs));
  EXPECT_EQ(t.at("longest_gap_epochs"), std::to_string(log.longestGapEpochs));
  if (log.longestGapEpochs > 0) {
    expectTime(t.at("longest_gap_start"), log.longestGapStart, "longest gap start");
  } else {
    EXPECT_EQ(t.at("longest_gap_start"), "-");
  }
  EXPECT_EQ(log.repeatedTimes + log.backwardTimes + log.unusableTimes + log.unlistedSteps, 0);
}

void expectSatelliteFigures(const SimulatedLog& run, const QualityReport& report) {
  std::map<int, const SatelliteFigures*> byPrn;
  for (const SatelliteFigures& s : report.satellites) byPrn[s.prn] = &s;
  std::size_t lines = 0;
  for (auto [it, end] = run.lines.equal_range("satellite"); it != end; ++it) {
    const TruthFields& t = it->second;
    ++lines;
    const std::string what = "PRN " + t.at("prn");
    const auto found = byPrn.find(std::stoi(t.at("prn")));
    if (found == byPrn.end()) {
      ADD_FAILURE() << what << " is missing";
      continue;
    }
    const SatelliteFigures& s = *found->second;
    EXPECT_EQ(t.at("epochs"), std::to_string(s.epochs)) << what;
    EXPECT_EQ(t.at("arcs"), std::to_string(s.arcs)) << what;
    EXPECT_EQ(t.at("lol"), std::to_string(s.lossOfLock)) << what;
    EXPECT_EQ(t.at("rollovers"), std::to_string(s.rollovers)) << what;
    expectTime(t.at("first"), s.first, what + " first");
    expectTime(t.at("last"), s.last, what + " last");
  }
  EXPECT_EQ(lines, report.satellites.size());
}

class QualityFigures : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(QualityFigures, MatchTheTruthOfTheLog) {
  const FiguresCase& c = GetParam();
  std::vector<std::string> arguments = c.arguments;
  arguments.insert(arguments.end(), {"--truth-rows", "no"});
  const SimulatedLog run = simulate(arguments);
  const QualityReport report = checkLog(run.log, c.week);
  ASSERT_EQ(run.lines.count("log"), 1U);
  expectLogFigures(run.lines.find("log")->second, report.log);
  expectSatelliteFigures(run, report);
  std::int64_t channels = 0;
  for (const SatelliteFigures& s : report.satellites) channels += s.epochs;
  EXPECT_EQ(channels, report.log.channelRecords);
}

INSTANTIATE_TEST_SUITE_P(
    Logs, QualityFigures,
    ::testing::Values(FiguresCase{"Faults1Hz",
                                  {"-d", "7200", "--seed", "3", "--slips", "20", "--lock-loss", "8",
                                   "--code-noise", "0.3", "--outage", "100,10", "--outage", "900,1",
                                   "--outage", "2000,2", "--outage", "4000,300.5"},
                                  1356},
                      FiguresCase{"Faults5s",
                                  {"-r", "0.2", "-d", "43200", "--seed", "5", "--slips", "10",
                                   "--lock-loss", "4", "--code-noise", "0.5", "--outage",
                                   "3000,600", "--outage", "9000,5", "--outage", "20000,10"},
                                  1356},
                      FiguresCase{"WeekEnd",
                                  {"--cross-week-end", "-d", "1800", "--seed", "7", "--slips", "30",
                                   "--lock-loss", "12", "--outage", "250,100", "--outage", "310,3",
                                   "--mask", "-10"},
                                  1356},
                      // More distinct lock-loss lengths than a satellite's histogram holds.
                      FiguresCase{"ManyLockLossesAt10Hz",
                                  {"-r", "10", "-d", "21600", "--seed", "13", "--lock-loss", "300",
                                   "--outage", "15000,30"},
                                  1356},
                      FiguresCase{"ThirdOfASecondWithOtherMessagesAndGarbage",
                                  {"-r",          "3",       "-d",       "900",       "--seed",
                                   "11",          "--other", "1.5",      "--garbage", "0.01",
                                   "--lock-loss", "20",      "--outage", "60,7",      "--id",
                                   "151",         "--week",  "2200",     "--sow",     "86390"},
                                  2200}),
    [](const ::testing::TestParamInfo<FiguresCase>& run) { return run.param.name; });

struct SlipCase {
  const char* name;
  std::vector<std::string> arguments;
};

std::ostream& operator<<(std::ostream& out, const SlipCase& c) {
  return out << c.name;
}

class SuspectedSlips : public ::testing::TestWithParam<SlipCase> {};

// At least 95 % of the slips of 20 cycles or more are found, and at most 1
// suspected slip per 10,000 satellite-epochs is false, with a code noise a
// C/A code receiver shows (see doc/quality-report.md for the levels).
TEST_P(SuspectedSlips, AreFoundWithFewFalseAlarms) {
  const SimulatedLog run = simulate(GetParam().arguments);
  const QualityReport report = checkLog(run.log, 1356, {.slipListLimit = 1000000});
  ASSERT_EQ(static_cast<std::int64_t>(report.listedSlips.size()), report.slips);
  const SlipScore score = scoreSlips(report, run);
  const bool injected = run.lines.count("slip") > 0;
  if (injected) {
    ASSERT_GT(score.eligible, 100);
    EXPECT_GE(score.detectionRate(), 0.95) << score.found << " of " << score.eligible;
  }
  EXPECT_LE(score.falsePer10000(), 1.0)
      << score.falseSlips << " false in " << score.satelliteEpochs << " satellite-epochs";
}

INSTANTIATE_TEST_SUITE_P(
    Logs, SuspectedSlips,
    ::testing::Values(SlipCase{"Slips1HzHalfMetre",
                               {"-d", "10800", "--seed", "21", "--mask", "-10", "--slips", "30",
                                "--lock-loss", "3", "--code-noise", "0.5"}},
                      SlipCase{"Slips5sOneMetre",
                               {"-r", "0.2", "-d", "43200", "--seed", "22", "--mask", "-10",
                                "--slips", "30", "--code-noise", "1.0", "--outage", "5000,100"}},
                      SlipCase{"Clean1HzHalfMetre",
                               {"-d", "21600", "--seed", "23", "--mask", "-10", "--lock-loss", "3",
                                "--code-noise", "0.5"}},
                      SlipCase{"Clean5sOneMetre",
                               {"-r", "0.2", "-d", "86400", "--seed", "24", "--mask", "-10",
                                "--code-noise", "1.0"}}),
    [](const ::testing::TestParamInfo<SlipCase>& run) { return run.param.name; });

}  // namespace
}  // namespace kapolex::testing
