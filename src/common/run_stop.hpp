// The one way an unexpected condition ends a run. The place that meets the
// condition calls a stop function; it unwinds to the run driver, which writes
// the diagnostic line, keeps every line already produced and returns the exit
// status. Expected conditions (end of the log between messages, a bad week
// answer) never come here.
#pragma once

#include <exception>
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

// The log's stream number in diagnostics, which the reading and decoding of
// the log name in their stops; the run numbers its other streams itself.
constexpr int logUnit = 1;

// A PRN outside 1 to 32 ends the run with this bare number as its line and
// its exit status.
constexpr int prnStopCode = 98463;

// A stopped run: either a diagnostic for a stream, or the PRN stop, which has
// neither a diagnostic nor a stream. It owns its texts, so it may outlive the
// stream it names.
class RunStop : public std::exception {
 public:
  enum class Kind { diagnostic, prnOutOfRange };

  // A diagnostic for stream unit, whose file (full path or console name) is file.
  RunStop(Diagnostic diagnostic, int unit, std::string_view file);
  // The stop for a channel that named a PRN outside 1 to 32.
  static RunStop prnOutOfRange();

  Kind kind() const { return kind_; }
  // Meaningful for Kind::diagnostic only.
  Diagnostic diagnostic() const { return diagnostic_; }
  int unit() const { return unit_; }
  const std::string& file() const { return file_; }

  // The stop's line for standard error, without its line end.
  const std::string& line() const { return line_; }
  const char* what() const noexcept override { return line_.c_str(); }

  // The process exit status: the diagnostic number in the low 16 bits of the
  // status word, or the PRN stop code.
  int exitStatus() const;

 private:
  RunStop() = default;

  Kind kind_ = Kind::prnOutOfRange;
  Diagnostic diagnostic_ = Diagnostic::openFailure;
  int unit_ = 0;
  std::string file_;
  std::string line_;
};

// Ends the run with a diagnostic for a stream.
[[noreturn]] void stopRun(Diagnostic diagnostic, int unit, std::string_view file);

// Ends the run because a channel named a PRN outside 1 to 32.
[[noreturn]] void stopOnPrnOutOfRange();

}  // namespace kapolex
