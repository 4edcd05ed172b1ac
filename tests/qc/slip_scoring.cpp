#include "slip_scoring.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kapolex::testing {

namespace {

constexpr std::int64_t smallestScored = 20;
constexpr std::int64_t smallBandEnd = 50;

using Key = std::pair<int, std::int64_t>;  // PRN, instant

// Each satellite's records in time order: instant and tracking flags.
struct Records {
  std::map<int, std::vector<std::pair<std::int64_t, unsigned>>> byPrn;
  std::int64_t interval = 0;

  // The record of the satellite at `at`, or null.
  const std::pair<std::int64_t, unsigned>* find(int prn, std::int64_t at) const {
    const auto found = byPrn.find(prn);
    if (found == byPrn.end()) return nullptr;
    const auto& records = found->second;
    const auto it = std::lower_bound(records.begin(), records.end(), std::make_pair(at, 0U));
    return it != records.end() && it->first == at ? &*it : nullptr;
  }
  // The satellite's record before the one at `at`, or -1.
  std::int64_t previous(int prn, std::int64_t at) const {
    const auto found = byPrn.find(prn);
    if (found == byPrn.end()) return -1;
    const auto& records = found->second;
    const auto it = std::lower_bound(records.begin(), records.end(), std::make_pair(at, 0U));
    return it == records.begin() ? -1 : (it - 1)->first;
  }
};

Records recordsOf(const SimulatedLog& truth) {
  if (truth.rows.empty()) throw std::runtime_error("the truth has no rows");
  Records r;
  for (const TruthRow& row : truth.rows) r.byPrn[row.prn].emplace_back(row.at, row.flags);
  const std::string interval = truth.lines.find("log")->second.at("interval");
  r.interval = std::llround(std::stod(interval) * 1e9);
  return r;
}

}  // namespace

double SlipScore::detectionRate() const {
  return eligible == 0 ? 0.0 : static_cast<double>(found) / static_cast<double>(eligible);
}

double SlipScore::falsePer10000() const {
  return satelliteEpochs == 0
             ? 0.0
             : 1e4 * static_cast<double>(falseSlips) / static_cast<double>(satelliteEpochs);
}

SlipScore scoreSlips(const QualityReport& report, const SimulatedLog& truth) {
  const Records records = recordsOf(truth);
  std::map<int, std::vector<std::pair<std::int64_t, std::int64_t>>> injected;  // time, cycles
  for (const auto& [keyword, f] : truth.lines) {
    if (keyword != "slip") continue;
    injected[std::stoi(f.at("prn"))].emplace_back(truthInstant(f.at("week"), f.at("sow")),
                                                  std::stoll(f.at("cycles")));
  }
  std::set<Key> suspected;
  for (const SuspectedSlip& s : report.listedSlips)
    suspected.insert({s.prn, instantOf(s.at.gps.week, s.at.gps.secondsOfWeek)});
  SlipScore score;
  score.satelliteEpochs = static_cast<std::int64_t>(truth.rows.size());
  score.suspected = static_cast<std::int64_t>(suspected.size());
  // Slips since the satellite's previous record, up to and including `at`.
  const auto slipsBefore = [&](int prn, std::int64_t since, std::int64_t at) {
    std::vector<std::int64_t> cycles;
    for (const auto& [time, c] : injected[prn]) {
      if (time > since && time <= at) cycles.push_back(c);
    }
    return cycles;
  };
  for (const auto& [prn, events] : injected) {
    for (const auto& [at, cycles] : events) {
      const auto* record = records.find(prn, at);
      if (record == nullptr || record->second != 0) continue;
      const std::int64_t before = records.previous(prn, at);
      if (before < 0 || at - before > 2 * records.interval) continue;
      if (slipsBefore(prn, before, at).size() != 1 || std::llabs(cycles) < smallestScored) continue;
      const bool found = suspected.count({prn, at}) > 0;
      ++score.eligible;
      score.found += found ? 1 : 0;
      if (std::llabs(cycles) < smallBandEnd) {
        ++score.eligibleSmall;
        score.foundSmall += found ? 1 : 0;
      }
    }
  }
  for (const auto& [prn, at] : suspected) {
    const std::int64_t before = records.previous(prn, at);
    if (slipsBefore(prn, before, at).empty()) ++score.falseSlips;
  }
  return score;
}

SlipScore& operator+=(SlipScore& total, const SlipScore& more) {
  total.eligible += more.eligible;
  total.found += more.found;
  total.eligibleSmall += more.eligibleSmall;
  total.foundSmall += more.foundSmall;
  total.suspected += more.suspected;
  total.falseSlips += more.falseSlips;
  total.satelliteEpochs += more.satelliteEpochs;
  return total;
}

}  // namespace kapolex::testing
