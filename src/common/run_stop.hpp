// The one way an unexpected condition ends a run. The place that meets the
// condition calls a stop function; it unwinds to the run driver, which writes
// the diagnostic line, keeps every line already produced and returns the exit
// status. Expected conditions (end of the log between messages, a bad week
// answer) never come here.
#pragma once

#include <string>
#include <string_view>

namespace kapolex {

// Diagnostic numbers; the texts live with them in run_stop.cpp.
enum class Diagnostic : int {
  permissionDenied = 9,
  endOfFile = 24,
  fileNotFound = 29,
  openFailure = 30,
  writeError = 38,
  readError = 39,
};

// Stream numbers, used only in diagnostics.
constexpr int logUnit = 1;
constexpr int observationUnit = 2;
constexpr int consoleOutputUnit = -1;
constexpr int consoleInputUnit = -4;
constexpr std::string_view consoleInputName = "CONIN$";
constexpr std::string_view consoleOutputName = "CONOUT$";

// A PRN outside 1 to 32 ends the run with this bare number as its line and
// its exit status.
constexpr int prnStopCode = 98463;

struct RunStop {
  bool prnOutOfRange = false;
  Diagnostic diagnostic = Diagnostic::openFailure;
  int unit = 0;
  std::string_view file;  // owned by the stream's record, which outlives the stop
};

// Ends the run with a diagnostic for a stream.
[[noreturn]] void stopRun(Diagnostic diagnostic, int unit, std::string_view file);

// Ends the run because a channel named a PRN outside 1 to 32.
[[noreturn]] void stopOnPrnOutOfRange();

// The stop's line for standard error, without its line end.
std::string stopLine(const RunStop& stop);

// The process exit status of a stop: the diagnostic number in the low 16
// bits of the status word, or the PRN stop code.
int stopExitStatus(const RunStop& stop);

}  // namespace kapolex
