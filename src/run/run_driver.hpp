// The program: the command line, the files and the console around the
// conversion. A run is set up from its command line, then fed its log by
// whoever reads it: the native program reads the log's file to its end, the
// browser page reads a File piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/platform.hpp"
#include "run/command_line.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"
#include "run/run_files.hpp"

namespace kapolex {

// The exit status of a run refused for its command line.
constexpr int usageErrorStatus = 2;

// A usage error as data: the message the program prints, and the long name
// of the option it concerns, without dashes (empty for none).
struct UsageError {
  std::string message;
  std::string option;
};

// One run of the program with the arguments after its name, in a process
// that platform::startProcess has readied: without any, it opens "z.log"
// and "z.obs" in the working directory.
class ProgramRun {
 public:
  // Reads the command line and does what it asks up to the conversion: a
  // usage error, --help and --version are answered here; a conversion has
  // its files opened, its week and the observation header's first lines.
  explicit ProgramRun(std::span<const char* const> arguments);
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The command line as read: what it asked for.
  const CommandLine& commandLine() const { return commandLine_; }
  // The usage error of a run refused for its command line (a value or an
  // option that is wrong, or two of its files that are one); none otherwise.
  std::optional<UsageError> usageError() const;

  // Whether the run is converting and wants the log's next bytes.
  bool wantsLog() const { return conversion_ && conversion_->running(); }
  // The open log, for a caller that reads it from its file.
  platform::NativeHandle logHandle() const { return files_.log->handle.get(); }
  // Room for the log's next bytes, and what to say after putting some there:
  // how many were added, that the log has ended, or that reading it failed.
  std::span<std::uint8_t> logSpace() { return conversion_->logSpace(); }
  void logAdded(std::size_t count) { conversion_->logAdded(count); }
  void logEnded() { conversion_->logEnded(); }
  // A followed log ended by a stop request or by idling (see Conversion).
  void logStopped() { conversion_->logStopped(); }
  void logReadFailed();

  // For a run that follows its log: whether it does, whether the log is a
  // regular file (which may grow, be renamed or cut) and its full path.
  bool follows() const { return commandLine_.options.follow; }
  bool logIsRegularFile() const { return files_.log && files_.log->regularFile; }
  const std::string& logPath() const { return files_.log->path; }
  // The end of the period whose file is open, and the finishing of it once
  // it is over (see Conversion).
  std::optional<std::int64_t> openPeriodEnd() const {
    return conversion_ ? conversion_->openPeriodEnd() : std::nullopt;
  }
  void finishPeriodEndedBy(std::int64_t second) { conversion_->finishPeriodEndedBy(second); }
  void remark(std::string_view text) { conversion_->remark(text); }

  // Closes the run's files and returns its exit status.
  int finish();

 private:
  void startConversion();

  CommandLine commandLine_;
  int status_ = 0;
  std::optional<Console> console_;
  RunFiles files_;
  std::optional<ConsoleInput> consoleIn_;
  std::optional<RunStreams> streams_;
  std::optional<Conversion> conversion_;
};

// Runs the program as ProgramRun does, reading the log from its file or
// standard input to the end; returns the exit status.
int runProgram(std::span<const char* const> arguments);

// The same; a run refused for its command line also sets usageError, for a
// caller that shows the message at the option's field.
int runProgram(std::span<const char* const> arguments, std::optional<UsageError>& usageError);

}  // namespace kapolex
