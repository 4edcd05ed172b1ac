// Whole conversions in memory for the tests and the fuzz targets: the log
// and the console answer are given, the run's date is pinned, and every
// stream the run writes is collected. It needs nothing of a test framework,
// so that the fuzz targets link it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "rinex/header_fields.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex::testing {

struct MemoryRun {
  int status = 0;
  std::string observations;
  std::string console;
  std::string errors;
  // The quality check's reports, when the run was asked for them.
  std::string qualityText;
  std::string qualityJson;
  std::string plot;
};

// The log's name in a memory run's diagnostics.
inline constexpr std::string_view memoryLogPath = "/memory/z.log";

// A clock that reads 2006-01-20 09:05:07 whenever it is asked.
const LocalClock& pinnedClock();

// The whole conversion of log with the week answer given at the console.
// With a pieceSize the log is fed to the conversion in pieces of that many
// bytes, as a reader of a pipe or of a file still being written feeds it,
// instead of all at once.
MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          std::size_t pieceSize = 0);

// The same conversion with the observation file's header fields as given:
// its RINEX version, S1, TIME OF LAST OBS, and the decimation interval.
MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          const HeaderFields& fields);

// The same conversion with the quality check's text and JSON reports and its
// plot.
MemoryRun convertInMemoryWithQuality(std::span<const std::uint8_t> log, std::string_view answer);

}  // namespace kapolex::testing
