#include "support/memory_run.hpp"

#include <string>

#include "common/output_sink.hpp"
#include "rinex/observation_writer.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"

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
                      std::size_t pieceSize, bool checksQuality, const HeaderFields& fields = {}) {
  MemoryRun run;
  ObservationWriter observations(OutputSink(run.observations, 2, "/memory/z.obs", 4096), fields);
  OutputSink console(run.console, -1, "CONOUT$", 256);
  OutputSink errors(run.errors, 0, "", 256);
  OutputSink qualityText(run.qualityText, 3, "/memory/qc.txt", 4096);
  OutputSink qualityJson(run.qualityJson, 4, "/memory/qc.json", 4096);
  OutputSink plot(run.plot, 5, "/memory/plot.svg", 4096);
  ConsoleInput input = ConsoleInput::fromText(answer);
  RunStreams streams{&observations, input, console, errors, pinnedClock()};
  if (checksQuality) streams.quality = {&qualityText, &qualityJson, &plot};
  run.status = convertLog(streams, {std::nullopt, fields.intervalSeconds, true, {}}, log,
                          std::string(memoryLogPath), pieceSize);
  // As the program does, after a stop too.
  observations.close();
  return run;
}

}  // namespace

MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          std::size_t pieceSize) {
  return runInMemory(log, answer, pieceSize, false);
}

MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          const HeaderFields& fields) {
  return runInMemory(log, answer, 0, false, fields);
}

MemoryRun convertInMemoryWithQuality(std::span<const std::uint8_t> log, std::string_view answer) {
  return runInMemory(log, answer, 0, true);
}

}  // namespace kapolex::testing
