#include "run/week_dialogue.hpp"

#include "common/ascii.hpp"
#include "common/run_stop.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"
#include "run/fixed_names.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {

namespace {

constexpr std::int64_t largestMagnitude = std::int64_t{1} << 31;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isSeparator(char c) {
  return c == ',' || c == '/';
}

void endNumber(WeekLineScan& scan) {
  scan.phase = WeekLineScan::Phase::rest;
  const std::int64_t value = scan.negative ? -scan.magnitude : scan.magnitude;
  if (!scan.digitsSeen || value > largestMagnitude - 1 || value < -largestMagnitude) {
    scan.result.outcome = WeekLineOutcome::invalid;
    return;
  }
  scan.result = {WeekLineOutcome::value, static_cast<std::int32_t>(value)};
}

void scanLeading(WeekLineScan& scan, char c) {
  if (isBlank(c)) return;
  if (isSeparator(c)) {
    scan.result.outcome = WeekLineOutcome::keepWeek;
    scan.phase = WeekLineScan::Phase::rest;
  } else if (c == '+' || c == '-' || isDigit(c)) {
    scan.phase = WeekLineScan::Phase::number;
    scan.negative = c == '-';
    if (isDigit(c)) scanWeekChar(scan, c);
  } else {
    scan.result.outcome = WeekLineOutcome::invalid;
    scan.phase = WeekLineScan::Phase::rest;
  }
}

void scanNumber(WeekLineScan& scan, char c) {
  if (isDigit(c)) {
    scan.digitsSeen = true;
    // Past the 32-bit range the value is already unusable; stop growing it.
    if (scan.magnitude <= largestMagnitude) scan.magnitude = scan.magnitude * 10 + (c - '0');
  } else if (isBlank(c) || isSeparator(c)) {
    endNumber(scan);
  } else {
    scan.result.outcome = WeekLineOutcome::invalid;
    scan.phase = WeekLineScan::Phase::rest;
  }
}

// Reads lines until one says something. A carriage return right before the
// line feed, or at the very end of the input, belongs to the line end.
WeekLineResult readWeekAnswer(ConsoleInput& input) {
  for (;;) {
    WeekLineScan scan;
    int c = input.next();
    if (c == ConsoleInput::endOfInput)
      stopRun(Diagnostic::endOfFile, consoleInputUnit, consoleInputName);
    while (c != ConsoleInput::endOfInput && c != '\n') {
      int following = input.next();
      if (c == '\r' && (following == '\n' || following == ConsoleInput::endOfInput)) {
        c = following;
        break;
      }
      scanWeekChar(scan, static_cast<char>(c));
      c = following;
    }
    const WeekLineResult result = finishWeekLine(scan);
    if (result.outcome != WeekLineOutcome::noValue) return result;
    if (c == ConsoleInput::endOfInput)
      stopRun(Diagnostic::endOfFile, consoleInputUnit, consoleInputName);
  }
}

}  // namespace

void scanWeekChar(WeekLineScan& scan, char c) {
  switch (scan.phase) {
    case WeekLineScan::Phase::leading:
      scanLeading(scan, c);
      break;
    case WeekLineScan::Phase::number:
      scanNumber(scan, c);
      break;
    case WeekLineScan::Phase::rest:
      break;
  }
}

WeekLineResult finishWeekLine(WeekLineScan& scan) {
  if (scan.phase == WeekLineScan::Phase::number) endNumber(scan);
  return scan.result;
}

std::int32_t askWeek(ConsoleInput& input, OutputSink& console) {
  std::int32_t week = 0;
  for (;;) {
    writeRecord<promptLayout>(console, weekPrompt);
    // The operator must see the prompt before the program waits for the answer.
    console.flush();
    const WeekLineResult answer = readWeekAnswer(input);
    if (answer.outcome == WeekLineOutcome::invalid) continue;
    if (answer.outcome == WeekLineOutcome::value) week = answer.value;
    if (week >= 1) return week;
  }
}

}  // namespace kapolex
