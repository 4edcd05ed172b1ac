#include "run/run_driver.hpp"

#include <optional>
#include <string>
#include <utility>

#include "common/output_sink.hpp"
#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "rinex/local_clock.hpp"
#include "rinex/observation_writer.hpp"
#include "run/command_line.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"
#include "run/fixed_names.hpp"
#include "run/run_files.hpp"

namespace kapolex {

namespace {

using platform::standardHandle;
using platform::StandardStream;

// A usage error: one line saying what is wrong, one pointing at the help;
// the caller also gets it as data.
int reportUsageError(UsageError error, std::optional<UsageError>& given) {
  OutputSink errors =
      OutputSink::borrowing(standardHandle(StandardStream::error), 0, "", consoleOutputBufferSize);
  errors.write(commandName);
  errors.write(": ");
  errors.write(error.message);
  errors.write("\nTry '");
  errors.write(commandName);
  errors.write(" --help'.\n");
  errors.flushQuietly();
  given = std::move(error);
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

int convertFiles(const RunOptions& options) {
  Console console = consoleFor(options);
  RunFiles files;
  try {
    openRunFiles(options, files);
  } catch (const RunStop& stop) {
    return reportStop(stop, nullptr, console.out, console.errors);
  }
  ObservationWriter* observations = files.observations ? &*files.observations : nullptr;
  ConsoleInput consoleIn = ConsoleInput::fromFile(standardHandle(StandardStream::input));
  RunStreams streams{*files.log,
                     observations,
                     consoleIn,
                     console.out,
                     console.errors,
                     systemClock(),
                     files.qualityOutputs(),
                     files.namedFiles ? &*files.namedFiles : nullptr};
  const ConversionSettings settings{options.week, options.header.intervalSeconds, !options.quiet,
                                    options.window};
  int status = runConversion(streams, settings);
  // Closing is the last chance for a file to report that its data was lost.
  if (const std::optional<RunStop> lost = closeRunFiles(files); lost && status == 0) {
    status = reportStop(*lost, nullptr, console.out, console.errors);
  }
  return status;
}

}  // namespace

int runProgram(std::span<const char* const> arguments) {
  std::optional<UsageError> usageError;
  return runProgram(arguments, usageError);
}

int runProgram(std::span<const char* const> arguments, std::optional<UsageError>& usageError) {
  const CommandLine commandLine = parseCommandLine(arguments);
  switch (commandLine.action) {
    case CommandLine::Action::usageError:
      return reportUsageError({commandLine.error, commandLine.errorOption}, usageError);
    case CommandLine::Action::help:
      return printText(usageText());
    case CommandLine::Action::version:
      return printText(versionLines());
    case CommandLine::Action::run:
      break;
  }
  if (const std::optional<std::string> clash = clashingFiles(commandLine.options)) {
    // Two files that are one are named by two options, so the error is about neither alone.
    return reportUsageError({*clash, ""}, usageError);
  }
  return convertFiles(commandLine.options);
}

}  // namespace kapolex
