// Whole conversions in memory for the fuzz targets: the log and the console
// answer come from the fuzzer, the clock is pinned, and every stream the run
// writes is collected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kapolex::fuzzing {

struct MemoryRun {
  int status = 0;
  std::string observations;
  std::string console;
  std::string errors;
};

// Converts log with the given week answer. With readerCapacity 0 the log is
// served from memory in one piece; otherwise it is read from a memory file
// through a buffer of that many bytes (at least the longest single read, 2805
// bytes), so that the framing's and the decoding's reads straddle buffer
// refills at other offsets than in the program.
MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          std::size_t readerCapacity = 0);

// Stops the fuzzer with a message when a property does not hold.
void require(bool holds, const char* what);

// The stop statuses a run may end with, besides 0.
bool isSpecifiedStatus(int status);

}  // namespace kapolex::fuzzing
