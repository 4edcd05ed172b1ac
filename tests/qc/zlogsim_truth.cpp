#include "zlogsim_truth.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "qc/timeline.hpp"
#include "support/program_run.hpp"

namespace kapolex::testing {

namespace {

TruthFields fieldsOf(std::istringstream& words) {
  TruthFields fields;
  std::string word;
  while (words >> word) {
    const std::size_t eq = word.find('=');
    fields[word.substr(0, eq)] = eq == std::string::npos ? "" : word.substr(eq + 1);
  }
  return fields;
}

// The cells of a CSV row, without copies.
std::vector<std::string_view> cellsOf(std::string_view line) {
  std::vector<std::string_view> cells;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) return cells;
    start = comma + 1;
  }
}

template <class Number>
Number numberOf(std::string_view cell) {
  Number value{};
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (ec != std::errc() || end != cell.data() + cell.size()) {
    throw std::runtime_error("not a number in a truth row: " + std::string(cell));
  }
  return value;
}

// offset,week,receive_time,...,prn (7th),...,flags (12th),...
TruthRow rowOf(const std::string& line) {
  const std::vector<std::string_view> cells = cellsOf(line);
  if (cells.size() < 12) throw std::runtime_error("short truth row: " + line);
  const auto week = numberOf<std::int64_t>(cells[1]);
  const auto seconds = numberOf<double>(cells[2]);
  return {instantOf(week, seconds), numberOf<int>(cells[6]), numberOf<unsigned>(cells[11])};
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

std::int64_t instantOf(std::int64_t week, double seconds) {
  return week * nanosPerWeek + std::llround(seconds * 1e9);
}

std::int64_t truthInstant(const std::string& week, const std::string& seconds) {
  return instantOf(std::stoll(week), std::stod(seconds));
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
