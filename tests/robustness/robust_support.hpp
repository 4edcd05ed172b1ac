// Helpers of the robustness tests: logs from the synthesiser, and a program
// launcher that can take away privileges and standard streams and reports
// the child's peak memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/log_builder.hpp"
#include "support/memory_run.hpp"
#include "support/program_run.hpp"

namespace kapolex::testing {

// The week prompt, and the answer the robustness runs give it.
inline const std::string weekPrompt = " GPS week = ";
inline const std::string weekAnswer = "1356\n";

// The full path of a file in a scratch folder.
inline std::string folderFile(const ScratchFolder& folder, const char* name) {
  return (folder.path() / name).string();
}

// A log of count measurement messages with twelve satellites at every fifth
// second: each epoch is kept and writes about 450 bytes, so a few thousand
// of them pass the 1 MiB output buffer.
LogBuilder keptEpochs(int count);

// A log written by the synthesiser with the given options.
std::vector<std::uint8_t> synthesizedLog(const std::vector<std::string>& options);

// How a launched program's standard streams are set up.
enum class Stream { file, closed, directory, full };

struct LaunchOptions {
  // The text on standard input; without it, inputKind says what standard
  // input is instead (closed unless it names another kind).
  std::optional<std::string> standardInput;
  Stream inputKind = Stream::file;
  Stream outputKind = Stream::file;
  Stream errorKind = Stream::file;
  bool asUnprivileged = false;  // run as "nobody" when started by root
};

struct LaunchResult {
  ProgramResult result;
  // The program's peak resident set in KiB (VmHWM), sampled every
  // millisecond while it runs. The rusage figure of wait4 would also count
  // the test process's memory that the child was forked with.
  long peakKilobytes = 0;
};

// Runs kapolex in the folder and waits for it. Linux arranges every kind of
// stream and the unprivileged run; Windows standard streams that are files
// or closed (missing), and it reports no peak memory.
LaunchResult launchKapolex(const ScratchFolder& folder, const LaunchOptions& options);

// Why a launch with asUnprivileged cannot work here, or nothing when it can:
// when root, the child must be allowed to become "nobody", and "nobody" must
// be able to enter the folder and execute the copy of the program it runs.
std::optional<std::string> whyNotAsNobody(const ScratchFolder& folder);

// The whole content of a file; empty if it cannot be read.
std::string fileContent(const std::filesystem::path& path);

// The lines of a z.obs with the run's date and time (line 2) blanked, so that
// runs in different seconds compare equal.
std::vector<std::string> linesWithoutRunDate(const std::string& observations);

}  // namespace kapolex::testing
