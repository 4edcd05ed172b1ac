// The browser page's way into the program. The page's worker sets up what a
// shell would set up before starting kapolex (a working folder holding the
// dropped log, the standard streams) and then runs the program itself with
// the command-line arguments, so that the page writes what the program
// writes, byte for byte. A usage error also comes back as data, so that the
// page can mark the option's field without reading the program's text.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "web_json.hpp"

namespace {

std::span<const char* const> argumentList(int count, const char* const* arguments) {
  return {arguments, count > 0 ? static_cast<std::size_t>(count) : 0};
}

// A copy of text on the C heap, for the worker to read and free.
char* heapCopy(const std::string& text) {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
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
// status, as main would. A run refused for its command line also sets
// *usageError to its usage error as JSON (see web_json.hpp), which the
// caller frees; any other run sets it to null.
EMSCRIPTEN_KEEPALIVE int kapolexRun(int count, const char* const* arguments, char** usageError) {
  std::optional<kapolex::UsageError> refused;
  const int status = kapolex::runProgram(argumentList(count, arguments), refused);
  *usageError = refused ? heapCopy(kapolex::web::usageErrorJson(*refused)) : nullptr;
  return status;
}

}  // extern "C"
