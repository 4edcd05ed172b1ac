// Simulated logs and their truth: runs the real zlogsim and reads the truth
// file's keyword lines and, when asked for, its rows.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kapolex::testing {

using TruthFields = std::map<std::string, std::string>;

// One channel record of the truth file.
struct TruthRow {
  std::int64_t at = 0;  // GPS time, ns since week 0
  int prn = 0;
  unsigned flags = 0;
};

struct SimulatedLog {
  std::vector<std::uint8_t> log;
  std::multimap<std::string, TruthFields> lines;  // by keyword
  std::vector<TruthRow> rows;                     // in log order
};

// Runs zlogsim with these arguments plus the log and truth file names;
// throws when it fails.
SimulatedLog simulate(const std::vector<std::string>& arguments);

// GPS week and seconds of week as nanoseconds since week 0.
std::int64_t instantOf(std::int64_t week, double seconds);

// "W/S" as nanoseconds since week 0.
std::int64_t truthInstant(const std::string& weekSlashSeconds);
std::int64_t truthInstant(const std::string& week, const std::string& seconds);

}  // namespace kapolex::testing
