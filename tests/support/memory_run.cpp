#include "support/memory_run.hpp"

#include <algorithm>
#include <optional>

#include "common/file_handle.hpp"
#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "rinex/observation_writer.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"
#include "support/memory_file.hpp"

namespace kapolex::testing {

namespace {

LocalDate pinnedDate() {
  return {2006, 1, 20};
}
LocalTimeOfDay pinnedTime() {
  return {9, 5, 7};
}

}  // namespace

const LocalClock& pinnedClock() {
  static const LocalClock clock{pinnedDate, pinnedTime};
  return clock;
}

namespace {

MemoryRun runInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                      std::size_t readerCapacity, bool checksQuality,
                      const HeaderFields& fields = {}) {
  MemoryRun run;
  std::optional<LogReader> reader;
  if (readerCapacity == 0) {
    reader.emplace(log, std::string(memoryLogPath));
  } else {
    reader.emplace(memoryFileOf(log), std::string(memoryLogPath),
                   std::clamp(readerCapacity, longestLogRead, logBlockSize));
  }
  ObservationWriter observations(OutputSink(run.observations, 2, "/memory/z.obs", 4096), fields);
  OutputSink console(run.console, -1, "CONOUT$", 256);
  OutputSink errors(run.errors, 0, "", 256);
  OutputSink qualityText(run.qualityText, 3, "/memory/qc.txt", 4096);
  OutputSink qualityJson(run.qualityJson, 4, "/memory/qc.json", 4096);
  OutputSink plot(run.plot, 5, "/memory/plot.svg", 4096);
  ConsoleInput input = ConsoleInput::fromText(answer);
  RunStreams streams{*reader, &observations, input, console, errors, pinnedClock()};
  if (checksQuality) streams.quality = {&qualityText, &qualityJson, &plot};
  run.status = runConversion(streams, {std::nullopt, fields.intervalSeconds, true, {}});
  // As the program does, after a stop too.
  observations.close();
  return run;
}

}  // namespace

MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          std::size_t readerCapacity) {
  return runInMemory(log, answer, readerCapacity, false);
}

MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          const HeaderFields& fields) {
  return runInMemory(log, answer, 0, false, fields);
}

MemoryRun convertInMemoryWithQuality(std::span<const std::uint8_t> log, std::string_view answer) {
  return runInMemory(log, answer, 0, true);
}

}  // namespace kapolex::testing
