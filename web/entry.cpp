// The browser page's way into the program. The page's worker sets up what a
// shell would set up before starting kapolex (a working folder holding the
// dropped log, the standard streams) and then runs the program itself with
// the command-line arguments, so that the page writes what the program
// writes, byte for byte.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <span>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"

namespace {

std::span<const char* const> argumentList(int count, const char* const* arguments) {
  return {arguments, count > 0 ? static_cast<std::size_t>(count) : 0};
}

}  // namespace

extern "C" {

// Whether a run with these arguments reads the log from standard input, so
// that the worker must put the log there.
EMSCRIPTEN_KEEPALIVE int kapolexReadsStandardInput(int count, const char* const* arguments) {
  const kapolex::CommandLine commandLine =
      kapolex::parseCommandLine(argumentList(count, arguments));
  return commandLine.action == kapolex::CommandLine::Action::run &&
         commandLine.options.logPath == kapolex::standardStreamName;
}

// Runs the program with the arguments after its name and returns its exit
// status, as main would.
EMSCRIPTEN_KEEPALIVE int kapolexRun(int count, const char* const* arguments) {
  return kapolex::runProgram(argumentList(count, arguments));
}

}  // extern "C"
