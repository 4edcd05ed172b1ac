#include "run/run_driver.hpp"

#include <string>
#include <string_view>

#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "common/utc_clock.hpp"
#include "rinex/local_clock.hpp"
#include "rinex/observation_writer.hpp"
#include "run/fixed_names.hpp"
#include "run/log_follower.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {

namespace {

using platform::standardHandle;
using platform::StandardStream;

// A usage error: one line saying what is wrong, one pointing at the help.
int reportUsageError(const std::string& error) {
  OutputSink errors =
      OutputSink::borrowing(standardHandle(StandardStream::error), 0, "", consoleOutputBufferSize);
  errors.write(commandName);
  errors.write(": ");
  errors.write(error);
  errors.write("\nTry '");
  errors.write(commandName);
  errors.write(" --help'.\n");
  errors.flushQuietly();
  return usageErrorStatus;
}

int printText(const std::string& text) {
  OutputSink out = OutputSink::borrowing(standardHandle(StandardStream::output), consoleOutputUnit,
                                         std::string(consoleOutputName), consoleOutputBufferSize);
  out.write(text);
  return out.flushQuietly()
             ? 0
             : RunStop(Diagnostic::writeError, consoleOutputUnit, consoleOutputName).exitStatus();
}

}  // namespace

ProgramRun::ProgramRun(std::span<const char* const> arguments)
    : commandLine_(parseCommandLine(arguments)) {
  switch (commandLine_.action) {
    case CommandLine::Action::usageError:
      status_ = reportUsageError(commandLine_.error);
      return;
    case CommandLine::Action::help:
      status_ = printText(usageText());
      return;
    case CommandLine::Action::version:
      status_ = printText(versionLines());
      return;
    case CommandLine::Action::run:
      break;
  }
  if (const std::optional<std::string> clash = clashingFiles(commandLine_.options)) {
    commandLine_.action = CommandLine::Action::usageError;
    commandLine_.error = *clash;
    status_ = reportUsageError(*clash);
    return;
  }
  startConversion();
}

void ProgramRun::startConversion() {
  const RunOptions& options = commandLine_.options;
  Console& console = console_.emplace(consoleFor(options));
  try {
    openRunFiles(options, files_, options.follow ? &console.out : nullptr);
  } catch (const RunStop& stop) {
    status_ = reportStop(stop, nullptr, console.out, console.errors);
    return;
  }
  ObservationWriter* observations = files_.observations ? &*files_.observations : nullptr;
  ConsoleInput& consoleIn =
      consoleIn_.emplace(ConsoleInput::fromFile(standardHandle(StandardStream::input)));
  streams_.emplace(RunStreams{observations, consoleIn, console.out, console.errors, systemClock(),
                              files_.qualityOutputs(),
                              files_.namedFiles ? &*files_.namedFiles : nullptr,
                              files_.fileReports ? &*files_.fileReports : nullptr});
  const ConversionSettings settings{options.week,
                                    options.header.intervalSeconds,
                                    !options.quiet,
                                    options.window,
                                    options.weekFromClock ? &systemUtcClock() : nullptr,
                                    options.follow};
  conversion_.emplace(*streams_, settings, files_.log->path);
  conversion_->start();
}

void ProgramRun::logReadFailed() {
  conversion_->stop(RunStop(Diagnostic::readError, logUnit, files_.log->path));
}

int ProgramRun::finish() {
  if (!conversion_) return status_;
  status_ = conversion_->exitStatus();
  conversion_.reset();
  // Closing is the last chance for a file to report that its data was lost.
  if (const std::optional<RunStop> lost = closeRunFiles(files_); lost && status_ == 0) {
    status_ = reportStop(*lost, nullptr, console_->out, console_->errors);
  }
  // What Compact RINEX could not hold is said once, when every file is
  // closed (a file without epochs gets END OF HEADER at its close).
  if (const std::string notes = compactRinexNotes(files_.compactRinexTally); !notes.empty()) {
    console_->errors.write(notes);
    console_->errors.flushQuietly();
  }
  return status_;
}

std::optional<UsageError> ProgramRun::usageError() const {
  if (commandLine_.action != CommandLine::Action::usageError) return std::nullopt;
  // Without its dashes, as a form names its fields.
  std::string_view option = commandLine_.errorOption;
  if (option.starts_with("--")) option.remove_prefix(2);
  return UsageError{commandLine_.error, std::string(option)};
}

int runProgram(std::span<const char* const> arguments, std::optional<UsageError>& usageError) {
  ProgramRun run(arguments);
  if (run.wantsLog() && run.follows()) {
    // The stop requests stay taken over until the files are closed, so that
    // a second request cannot cut the finish short.
    platform::LogWatch watch(run.logIsRegularFile() ? run.logPath() : std::string());
    followLog(run, watch, systemFollowClocks());
    return run.finish();
  }
  while (run.wantsLog()) {
    const std::span<std::uint8_t> space = run.logSpace();
    const std::ptrdiff_t got = platform::readSome(run.logHandle(), space.data(), space.size());
    if (got > 0) {
      run.logAdded(static_cast<std::size_t>(got));
    } else if (got == 0) {
      run.logEnded();
    } else {
      run.logReadFailed();
    }
  }
  usageError = run.usageError();
  return run.finish();
}

int runProgram(std::span<const char* const> arguments) {
  std::optional<UsageError> usageError;
  return runProgram(arguments, usageError);
}

}  // namespace kapolex
