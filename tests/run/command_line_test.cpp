#include "run/command_line.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kapolex {
namespace {

CommandLine parsed(const std::vector<const char*>& arguments) {
  return parseCommandLine(arguments);
}

TEST(CommandLine, ValuesReachTheirFields) {
  const CommandLine line = parsed({"--marker-name", "PILLAR 7", "--agency=Survey Office", "-q",
                                   "site.log", "--interval", "+30", "--position", "-1.5,2e3,.25",
                                   "--antenna-delta=1.2345,0,-0", "--snr", "--dat", "2006-01-08"});
  ASSERT_EQ(line.action, CommandLine::Action::run) << line.error;
  const RunOptions& options = line.options;
  EXPECT_EQ(options.logPath, "site.log");
  EXPECT_EQ(options.observationPath, "site.obs");
  EXPECT_EQ(options.week, 1357);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.header.markerName, "PILLAR 7");
  EXPECT_EQ(options.header.agency, "Survey Office");
  EXPECT_EQ(options.header.observer, "your name here");
  EXPECT_EQ(options.header.intervalSeconds, 30);
  EXPECT_TRUE(options.header.withSnr);
  EXPECT_EQ(options.header.position, (Coordinates{-1.5, 2000.0, 0.25}));
  EXPECT_EQ(options.header.antennaDelta, (Coordinates{1.2345, 0.0, -0.0}));

  // Without arguments: the classic run.
  const CommandLine plain = parsed({});
  EXPECT_EQ(plain.action, CommandLine::Action::run);
  EXPECT_EQ(plain.options.logPath, "z.log");
  EXPECT_EQ(plain.options.observationPath, "z.obs");
  EXPECT_FALSE(plain.options.week.has_value());
  EXPECT_FALSE(plain.options.quiet);
  EXPECT_EQ(plain.options.header.intervalSeconds, 5);

  // Help wins, whatever else is wrong or given.
  EXPECT_EQ(parsed({"--version", "-h", "a", "b"}).action, CommandLine::Action::help);
  EXPECT_EQ(parsed({"--", "-h"}).options.logPath, "-h");
}

}  // namespace
}  // namespace kapolex
