// The browser page's way into the program. The page's worker sets up what a
// shell would set up before starting kapolex (a working folder holding the
// dropped log, the standard streams) and then runs the program itself with
// the command-line arguments, so that the page writes what the program
// writes, byte for byte. A usage error also comes back as data, so that the
// page can mark the option's field without reading the program's text.
//
// The run is fed, as the native program feeds it from its file: the worker
// reads the browser's File asynchronously and pushes each piece into the
// run's own buffer, so that the browser reads the next piece while the core
// converts this one. The outputs leave through the C library's writes.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "run/command_line.hpp"
#include "run/run_driver.hpp"
#include "web_json.hpp"

namespace {

using kapolex::ProgramRun;

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

// Starts the program with the arguments after its name: everything up to
// the log's first byte (the command line, the files, the week, the
// header's first lines). Returns the run, which kapolexFinish ends.
EMSCRIPTEN_KEEPALIVE ProgramRun* kapolexStart(int count, const char* const* arguments) {
  return new ProgramRun(argumentList(count, arguments));
}

// Whether a run with these arguments reads the log from standard input, so
// that the worker must put the log there: asked before the run starts, as
// the week's prompt may read standard input.
EMSCRIPTEN_KEEPALIVE int kapolexReadsStandardInput(int count, const char* const* arguments) {
  const kapolex::CommandLine commandLine =
      kapolex::parseCommandLine(argumentList(count, arguments));
  return commandLine.action == kapolex::CommandLine::Action::run &&
         commandLine.options.logPath == kapolex::standardStreamName;
}

// Whether a run with these arguments compresses its observation files with
// gzip. The page's core writes them plain under their gzip names (it is
// built without zlib), and the page compresses them with the browser's own
// compression stream; the core's reading of the command line says which.
EMSCRIPTEN_KEEPALIVE int kapolexCompressesObservations(int count, const char* const* arguments) {
  const kapolex::CommandLine commandLine =
      kapolex::parseCommandLine(argumentList(count, arguments));
  return commandLine.action == kapolex::CommandLine::Action::run && commandLine.options.gzip;
}

// Whether the run wants the log's next bytes.
EMSCRIPTEN_KEEPALIVE int kapolexWantsLog(const ProgramRun* run) {
  return run->wantsLog() ? 1 : 0;
}

// Room for the log's next bytes in the run's buffer: its address, and its
// size in *size. The worker puts bytes there and says how many.
EMSCRIPTEN_KEEPALIVE std::uint8_t* kapolexLogSpace(ProgramRun* run, std::size_t* size) {
  const std::span<std::uint8_t> space = run->logSpace();
  *size = space.size();
  return space.data();
}

// Converts what count bytes put in the space complete.
EMSCRIPTEN_KEEPALIVE void kapolexLogAdded(ProgramRun* run, std::size_t count) {
  run->logAdded(count);
}

// The end of the log.
EMSCRIPTEN_KEEPALIVE void kapolexLogEnded(ProgramRun* run) {
  run->logEnded();
}

// Ends the run: closes its files and returns its exit status, as main
// would. A run refused for its command line also sets *usageError to its
// usage error as JSON (see web_json.hpp), which the caller frees; any other
// run sets it to null.
EMSCRIPTEN_KEEPALIVE int kapolexFinish(ProgramRun* run, char** usageError) {
  const std::optional<kapolex::UsageError> refused = run->usageError();
  *usageError = refused ? heapCopy(kapolex::web::usageErrorJson(*refused)) : nullptr;
  const int status = run->finish();
  delete run;
  return status;
}

}  // extern "C"
