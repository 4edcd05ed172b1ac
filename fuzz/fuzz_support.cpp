#include "fuzz_support.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "rinex/local_clock.hpp"
#include "rinex/observation_writer.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"

namespace kapolex::fuzzing {

namespace {

LocalDate pinnedDate() {
  return {2006, 1, 20};
}
LocalTimeOfDay pinnedTime() {
  return {9, 5, 7};
}
const LocalClock pinnedClock{pinnedDate, pinnedTime};

// The longest single read the conversion makes: all 255 channel records of a
// measurement body at once.
constexpr std::size_t smallestReaderCapacity = 255 * 11;

FileDescriptor logFileOf(std::span<const std::uint8_t> log) {
  FileDescriptor file(::memfd_create("z.log", MFD_CLOEXEC));
  const int fd = file.get();
  require(fd >= 0, "memfd_create failed");
  std::size_t done = 0;
  while (done < log.size()) {
    const ssize_t wrote = ::write(fd, log.data() + done, log.size() - done);
    require(wrote > 0, "writing the memory file failed");
    done += static_cast<std::size_t>(wrote);
  }
  require(::lseek(fd, 0, SEEK_SET) == 0, "rewinding the memory file failed");
  return file;
}

}  // namespace

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

bool isSpecifiedStatus(int status) {
  constexpr int endOfFileStatus = static_cast<int>(0xC0000018u);
  constexpr int prnStatus = 98463;
  return status == 0 || status == endOfFileStatus || status == prnStatus;
}

MemoryRun convertInMemory(std::span<const std::uint8_t> log, std::string_view answer,
                          std::size_t readerCapacity) {
  MemoryRun run;
  std::optional<LogReader> reader;
  if (readerCapacity == 0) {
    reader.emplace(log, "/fuzz/z.log");
  } else {
    // A small block moves the refills to other offsets.
    reader.emplace(logFileOf(log), "/fuzz/z.log", std::max(readerCapacity, smallestReaderCapacity));
  }
  ObservationWriter observations(OutputSink(run.observations, 2, "/fuzz/z.obs", 4096));
  OutputSink console(run.console, -1, "CONOUT$", 256);
  OutputSink errors(run.errors, 0, "", 256);
  ConsoleInput input = ConsoleInput::fromText(answer);
  RunStreams streams{*reader, observations, input, console, errors, pinnedClock};
  run.status = runConversion(streams);
  return run;
}

}  // namespace kapolex::fuzzing
