// Arbitrary log bytes through the whole conversion: framing, decoding, phase
// repair, time steps and record editing. Besides the sanitizers' findings it
// checks what every run must give whatever the bytes: a specified ending with
// exactly its diagnostic, complete lines only, the same result however the
// log is cut into the pieces it arrives in, and, for the log cut anywhere, a
// file that the full log's file continues line for line.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.hpp"

namespace {

using kapolex::fuzzing::convertInMemory;
using kapolex::fuzzing::MemoryRun;
using kapolex::fuzzing::require;

constexpr const char* answer = "1356\n";
constexpr const char* prompt = " GPS week = ";
const std::string endOfLogLine = "kapolex: severe (24): end-of-file during read, unit 1, file " +
                                 std::string(kapolex::testing::memoryLogPath) + "\n";

void checkEnding(const MemoryRun& run) {
  require(kapolex::fuzzing::isSpecifiedStatus(run.status), "unspecified exit status");
  require(run.console.starts_with(prompt), "console does not start with the prompt");
  if (run.status == 0) {
    require(run.errors.empty(), "diagnostic after a normal end");
    require(run.console.ends_with("\r\n"), "summary missing");
  } else {
    require(run.console == prompt, "console output after a stop");
    require(run.errors == (run.status == 98463 ? std::string("98463\n") : endOfLogLine),
            "wrong stop line");
  }
  require(run.observations.ends_with("\r\n"), "observation file ends inside a line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> log(data, size);
  static const MemoryRun empty = convertInMemory({}, answer);

  const MemoryRun whole = convertInMemory(log, answer);
  checkEnding(whole);
  require(whole.observations.starts_with(empty.observations), "fixed header lines differ");

  // The pieces end at offsets that depend on the input.
  const std::size_t piece = 1 + (size == 0 ? 0 : data[size - 1] % 97);
  const MemoryRun streamed = convertInMemory(log, answer, piece);
  require(streamed.status == whole.status && streamed.observations == whole.observations &&
              streamed.console == whole.console && streamed.errors == whole.errors,
          "feeding the log in pieces changes the result");

  // Nothing written depends on bytes after it: the run over a cut log writes
  // a prefix of the whole log's lines.
  const std::size_t cut = size == 0 ? 0 : (static_cast<std::size_t>(data[0]) * size) / 256;
  const MemoryRun cutRun = convertInMemory(log.first(cut), answer);
  checkEnding(cutRun);
  require(whole.observations.starts_with(cutRun.observations),
          "the cut log's lines are not a prefix of the whole log's");
  return 0;
}
