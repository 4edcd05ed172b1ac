// Arbitrary console text as the week answer, then a fixed small log. The
// dialogue is checked against a plain model of the free-form answer rules,
// and the first epoch's date against the civil calendar for the weeks in
// which the conversion's calendar is exact.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.hpp"

namespace {

using kapolex::fuzzing::convertInMemory;
using kapolex::fuzzing::MemoryRun;
using kapolex::fuzzing::require;

constexpr std::string_view prompt = " GPS week = ";

// A message at second 0 of the week, no channels: one epoch line dated at
// the week's start.
std::vector<std::uint8_t> weekStartLog() {
  return {0x01, 0x17, 0xE8, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAA, 0x55};
}

enum class Said { nothing, keep, value, invalid };

struct Answer {
  Said said = Said::nothing;
  long long value = 0;
};

// One line of the answer by the rules the operator is told.
Answer readLine(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i == line.size()) return {};
  if (line[i] == ',' || line[i] == '/') return {Said::keep};
  bool negative = false;
  if (line[i] == '+' || line[i] == '-') negative = line[i++] == '-';
  long long magnitude = 0;
  std::size_t digits = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
    if (magnitude < (1LL << 40)) magnitude = magnitude * 10 + (line[i] - '0');
  }
  const bool ended =
      i == line.size() || line[i] == ' ' || line[i] == '\t' || line[i] == ',' || line[i] == '/';
  const long long value = negative ? -magnitude : magnitude;
  if (digits == 0 || !ended || value > 2147483647LL || value < -2147483648LL) {
    return {Said::invalid};
  }
  return {Said::value, value};
}

struct Dialogue {
  int prompts = 0;
  std::optional<long long> week;  // none: the input ended first
};

Dialogue model(std::string_view input) {
  // Lines end at LF; a CR right before the LF or at the very end belongs to
  // the line end.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\n', start);
    std::string_view line = input.substr(start, end == std::string_view::npos ? end : end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  Dialogue dialogue;
  long long week = 0;
  std::size_t next = 0;
  for (;;) {
    ++dialogue.prompts;
    Answer answer;
    while (answer.said == Said::nothing) {
      if (next == lines.size()) return dialogue;
      answer = readLine(lines[next++]);
    }
    if (answer.said == Said::invalid) continue;
    if (answer.said == Said::value) week = answer.value;
    if (week >= 1) {
      dialogue.week = week;
      return dialogue;
    }
  }
}

// Civil date of a day count from 1970-01-01.
struct CivilDate {
  long long year;
  int month;
  int day;
};

CivilDate civilFromDays(long long days) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string twoDigits(long long value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? std::string(2 - text.size(), '0') + text : text;
}

// The TIME OF FIRST OBS line's date for a week's start.
std::string firstObservationDate(long long week) {
  const CivilDate date = civilFromDays(3657 + 7 * week);  // 1980-01-06 is day 3657
  auto field = [](const std::string& text) { return std::string(6 - text.size(), ' ') + text; };
  return field(std::to_string(date.year)) + field(twoDigits(date.month)) +
         field(twoDigits(date.day)) + "    00    00    0.0000000";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::uint8_t> log = weekStartLog();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const MemoryRun run = convertInMemory(log, input);
  const Dialogue expected = model(input);

  std::string prompts;
  for (int i = 0; i < expected.prompts; ++i) prompts += prompt;
  if (!expected.week) {
    require(run.status == static_cast<int>(0xC0000018u), "end of input did not stop the run");
    require(run.console == prompts, "prompts differ from the model");
    require(run.errors == "kapolex: severe (24): end-of-file during read, unit -4, file CONIN$\n",
            "wrong end-of-input line");
    require(run.observations.empty(), "observation file written before the week was known");
    return 0;
  }
  require(run.status == 0, "accepted week did not convert");
  require(
      run.console.starts_with(prompts) && run.console.substr(prompts.size()).starts_with(" id="),
      "prompts differ from the model");
  // 365.25 days a year is the civil calendar from 1900-03-01 to 2100-02-28.
  if (*expected.week <= 6200) {
    require(run.observations.find(firstObservationDate(*expected.week)) != std::string::npos,
            "first epoch not dated at the week's start");
  }
  return 0;
}
