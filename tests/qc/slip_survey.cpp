// Measures the suspected slips against zlogsim's truth over several seeds,
// epoch rates and code-noise levels, and prints the table doc/quality-report.md
// shows: the detection rate of slips of 20 cycles or more (and of 20 to 49
// cycles alone) on logs with slips, and the false slips per 10,000
// satellite-epochs on logs without. Not a test: it takes minutes.
//
// Usage: kapolex_qc_slip_survey [SEEDS]   (default 4 seeds per row)
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "qc_feed.hpp"
#include "slip_scoring.hpp"

namespace {

using kapolex::testing::SlipScore;

struct Row {
  const char* rate;
  const char* hours;
  const char* noise;
};

SlipScore scoreRun(const Row& row, int seed, bool slips) {
  const std::string duration = std::to_string(std::stod(row.hours) * 3600.0);
  std::vector<std::string> arguments = {
      "-r",     row.rate, "-d",           duration,  "--seed",      std::to_string(seed),
      "--mask", "-10",    "--code-noise", row.noise, "--lock-loss", "3"};
  if (slips) arguments.insert(arguments.end(), {"--slips", "30"});
  const kapolex::testing::SimulatedLog run = kapolex::testing::simulate(arguments);
  const kapolex::QualityReport report =
      kapolex::testing::checkLog(run.log, 1356, {.slipListLimit = 100000000});
  return kapolex::testing::scoreSlips(report, run);
}

std::string percent(std::int64_t part, std::int64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f %%",
                whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

int run(int seeds) {
  const std::vector<Row> rows = {{"1", "6", "0.3"},    {"1", "6", "0.5"},    {"1", "6", "1.0"},
                                 {"0.2", "24", "0.3"}, {"0.2", "24", "0.5"}, {"0.2", "24", "1.0"}};
  std::printf(
      "| rate | code noise | logs | slips >= 20 cycles found | 20-49 cycles found | "
      "false slips (logs with slips) | satellite-epochs without slips | false slips | "
      "per 10,000 |\n|---|---|---|---|---|---|---|---|---|\n");
  for (const Row& row : rows) {
    SlipScore withSlips;
    SlipScore clean;
    for (int seed = 1; seed <= seeds; ++seed) {
      withSlips += scoreRun(row, seed, true);
      clean += scoreRun(row, 100 + seed, false);
    }
    std::printf(
        "| %s Hz | %s m | %d x %s h, seeds 1-%d and 101-%d | %lld / %lld = %s | %lld / %lld = %s "
        "| %lld | %lld | %lld | %.3f |\n",
        row.rate, row.noise, seeds, row.hours, seeds, 100 + seeds,
        static_cast<long long>(withSlips.found), static_cast<long long>(withSlips.eligible),
        percent(withSlips.found, withSlips.eligible).c_str(),
        static_cast<long long>(withSlips.foundSmall),
        static_cast<long long>(withSlips.eligibleSmall),
        percent(withSlips.foundSmall, withSlips.eligibleSmall).c_str(),
        static_cast<long long>(withSlips.falseSlips), static_cast<long long>(clean.satelliteEpochs),
        static_cast<long long>(clean.falseSlips), clean.falsePer10000());
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc > 1 ? std::stoi(argv[1]) : 4);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kapolex_qc_slip_survey: %s\n", e.what());
    return 1;
  }
}
