// The start-up dialogue: the measurement messages carry only seconds of the
// week, so the operator types the GPS week. The answer is read in free form,
// the way the receiver's operators have always typed it.
#pragma once

#include <cstdint>

#include "common/output_sink.hpp"
#include "run/console_input.hpp"

namespace kapolex {

// What one line of the answer said.
enum class WeekLineOutcome {
  noValue,   // empty or blanks only: reading goes on with the next line
  keepWeek,  // a comma or slash before any value: the week stays as it was
  value,     // an integer was read
  invalid,   // text that is not an integer: the prompt is shown again
};

struct WeekLineResult {
  WeekLineOutcome outcome = WeekLineOutcome::noValue;
  std::int32_t value = 0;
};

// Scans one answer line, character by character so that no line length is
// too long; the line end is not fed.
struct WeekLineScan {
  enum class Phase { leading, number, rest };
  Phase phase = Phase::leading;
  WeekLineResult result;
  bool negative = false;
  bool digitsSeen = false;
  std::int64_t magnitude = 0;
};

// Feeds one character of the line to the scan.
void scanWeekChar(WeekLineScan& scan, char c);

// Ends the line and tells what it said.
WeekLineResult finishWeekLine(WeekLineScan& scan);

// Prompts and reads until the operator has given a week of at least 1 and
// returns it. The end of standard input stops the run.
std::int32_t askWeek(ConsoleInput& input, OutputSink& console);

}  // namespace kapolex
