// The week taken from the computer's clock (--week auto): the week in which
// the log's first usable receive time lies closest to an injected clock, at
// both ends of the week, said on the console unless the run is quiet, and
// the files exactly those of a run given that week.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/output_sink.hpp"
#include "common/utc_clock.hpp"
#include "rinex/observation_writer.hpp"
#include "run/command_line.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"
#include "support/log_builder.hpp"
#include "support/memory_run.hpp"

namespace kapolex {
namespace {

using testing::carrierWord;
using testing::ChannelRecord;
using testing::LogBuilder;

constexpr std::int64_t weekSeconds = 604800;

struct Outcome {
  int status = 0;
  std::string observations;
  std::string console;
};

// A whole conversion in memory with the week given, or else chosen by a
// clock that reads gpsNow (GPS seconds from the start of week 0).
Outcome convert(const std::vector<std::uint8_t>& log, std::optional<std::int32_t> week,
                std::int64_t gpsNow, bool summary = true) {
  Outcome outcome;
  const UtcClock clock{[gpsNow] { return gpsNow + gpsEpochUtcSeconds - gpsAheadOfUtcSeconds; }};
  ObservationWriter observations(OutputSink(outcome.observations, 2, "/memory/z.obs", 4096), {});
  OutputSink console(outcome.console, -1, "CONOUT$", 256);
  std::string errorText;
  OutputSink errors(errorText, 0, "", 256);
  ConsoleInput input = ConsoleInput::fromText("");
  RunStreams streams{&observations, input, console, errors, testing::pinnedClock()};
  ConversionSettings settings{week, defaultDecimationSeconds, summary, {}, &clock};
  outcome.status =
      convertLog(streams, settings, log, std::string(testing::memoryLogPath), /*pieceSize=*/7);
  observations.close();
  EXPECT_EQ(errorText, "");
  return outcome;
}

std::vector<std::uint8_t> logAt(std::initializer_list<double> receiveTimes) {
  const ChannelRecord channels[] = {{4, 120, 1000, carrierWord(1000, 512), 0}};
  LogBuilder log;
  log.other(7, 12);
  for (const double t : receiveTimes) log.measurement(t, channels);
  return log.bytes();
}

TEST(ClockWeek, TheWeekClosestToTheClockAtBothEndsOfTheWeek) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> log;
    std::int64_t gpsNow;
    std::int32_t expected;
  };
  const Case cases[] = {
      // The log starts just after the week's start; the clock still shows
      // the end of the week before.
      {"start", logAt({10.0, 15.0, 20.0}), 2345 * weekSeconds - 30, 2345},
      // The log's first epoch lies at the week's end, read early in the
      // next week; the log crosses into it.
      {"end", logAt({604790.0, 604795.0, 0.0, 5.0}), 2346 * weekSeconds + 20, 2345},
      // Messages whose time cannot be used come first: the first usable
      // time decides.
      {"unusable first", logAt({-5.0, 1e300, 604795.0, 0.0}), 2346 * weekSeconds + 3600, 2345},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome chosen = convert(c.log, std::nullopt, c.gpsNow);
    const Outcome given = convert(c.log, c.expected, 0);
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(chosen.observations, given.observations);
    EXPECT_EQ(chosen.console, " GPS week " + std::to_string(c.expected) +
                                  " chosen from the clock\r\n" + given.console);
    const Outcome quiet = convert(c.log, std::nullopt, c.gpsNow, /*summary=*/false);
    EXPECT_EQ(quiet.console, "");
    EXPECT_EQ(quiet.observations, given.observations);
  }
  // A log with no usable receive time has no week to choose and says none.
  const Outcome none = convert(logAt({-5.0}), std::nullopt, 2345 * weekSeconds);
  EXPECT_EQ(none.console, convert(logAt({-5.0}), 1, 0).console);
}

TEST(ClockWeek, AutoExcludesTheOtherWeeksAndNeedsNoPrompt) {
  struct Case {
    std::vector<const char*> arguments;
    std::string error;  // empty: the run goes ahead with the clock's week
  };
  const Case cases[] = {
      {{"--week", "auto"}, ""},
      {{"-w", "auto", "-"}, ""},
      {{"-wauto", "-o", "-"}, ""},
      {{"--week", "auto", "--week", "auto"}, ""},
      {{"--week", "auto", "--date", "2006-01-01"},
       "options '--week auto' and '--date' exclude each other"},
      {{"--date", "2006-01-01", "-w", "auto"},
       "options '--date' and '--week auto' exclude each other"},
      {{"--week", "1356", "--week", "auto"},
       "options '--week' and '--week auto' exclude each other"},
      {{"--week=auto", "-w", "1356"}, "options '--week auto' and '--week' exclude each other"},
      {{"--week", "Auto"}, "invalid week 'Auto' for '--week': give a whole number of at least 1"},
  };
  for (const Case& c : cases) {
    const CommandLine line = parseCommandLine(c.arguments);
    SCOPED_TRACE(c.arguments.back());
    if (c.error.empty()) {
      ASSERT_EQ(line.action, CommandLine::Action::run) << line.error;
      EXPECT_TRUE(line.options.weekFromClock);
      EXPECT_FALSE(line.options.week.has_value());
    } else {
      EXPECT_EQ(line.action, CommandLine::Action::usageError);
      EXPECT_EQ(line.error, c.error);
      // The option given second, which a form marks.
      const bool dateSecond =
          c.arguments.size() > 2 && std::string_view(c.arguments[2]).starts_with("--d");
      EXPECT_EQ(line.errorOption, dateSecond ? "--date" : "--week");
    }
  }
}

}  // namespace
}  // namespace kapolex
