#include "zlogsim_truth.hpp"

#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "support/program_run.hpp"

namespace kapolex::testing {

namespace {

constexpr std::int64_t nanosPerWeek = 604800LL * 1000000000LL;

TruthFields fieldsOf(std::istringstream& words) {
  TruthFields fields;
  std::string word;
  while (words >> word) {
    const std::size_t eq = word.find('=');
    fields[word.substr(0, eq)] = eq == std::string::npos ? "" : word.substr(eq + 1);
  }
  return fields;
}

// offset,week,receive_time,...,prn (7th),...,flags (12th),...
TruthRow rowOf(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
  if (cells.size() < 12) throw std::runtime_error("short truth row: " + line);
  return {truthInstant(cells[1], cells[2]), std::stoi(cells[6]),
          static_cast<unsigned>(std::stoul(cells[11]))};
}

void readTruth(const std::string& text, SimulatedLog& run) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (std::isdigit(static_cast<unsigned char>(line[0]))) {
      run.rows.push_back(rowOf(line));
      continue;
    }
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    run.lines.emplace(keyword, fieldsOf(words));
  }
}

}  // namespace

std::int64_t truthInstant(const std::string& week, const std::string& seconds) {
  return std::stoll(week) * nanosPerWeek + std::llround(std::stod(seconds) * 1e9);
}

std::int64_t truthInstant(const std::string& weekSlashSeconds) {
  const std::size_t slash = weekSlashSeconds.find('/');
  if (slash == std::string::npos) throw std::runtime_error("not W/S: " + weekSlashSeconds);
  return truthInstant(weekSlashSeconds.substr(0, slash), weekSlashSeconds.substr(slash + 1));
}

SimulatedLog simulate(const std::vector<std::string>& arguments) {
  ScratchFolder folder;
  std::vector<std::string> all = arguments;
  all.insert(all.end(), {"-o", "z.log", "--truth", "t.txt"});
  const ProgramResult result = runIn(folder, ZLOGSIM_BINARY, all, std::nullopt);
  const std::optional<std::string> log = folder.read("z.log");
  const std::optional<std::string> truth = folder.read("t.txt");
  if (result.exitStatus != 0 || !log || !truth) {
    throw std::runtime_error("zlogsim failed: " + result.err);
  }
  SimulatedLog run;
  run.log.assign(log->begin(), log->end());
  readTruth(*truth, run);
  return run;
}

}  // namespace kapolex::testing
