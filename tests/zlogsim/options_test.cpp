// The command line.
#include "zlogsim/options.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace zlogsim {
namespace {

ParseResult parse(std::vector<const char*> args) {
  return parseCommandLine(args);
}

TEST(Options, DurationAndRateGiveTheEpochCount) {
  struct Case {
    std::vector<const char*> args;
    std::uint64_t epochs;
  };
  const Case cases[] = {
      {{}, 3600},
      {{"-d", "10"}, 10},
      {{"--duration=10", "--rate=0.2"}, 2},
      {{"-d", "10", "-r", "10"}, 100},
      {{"-d", "1", "-r", "3"}, 3},
      {{"-d", "10", "-r", "0.1"}, 1},
      {{"-d", "0"}, 0},
      {{"--size", "1M"}, std::numeric_limits<std::uint64_t>::max()},
      {{"--size", "1M", "-d", "5"}, 5},
  };
  for (const Case& c : cases) {
    const ParseResult r = parse(c.args);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.log.epochLimit, c.epochs) << (c.args.empty() ? "" : c.args[0]);
  }
}

TEST(Options, WeekEndStartAndSizeSuffixes) {
  const ParseResult r = parse({"--cross-week-end", "--size", "3K", "--id=151"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.log.simulation.start.seconds, 604500.0);
  EXPECT_EQ(r.options.log.sizeLimit, 3072U);
  EXPECT_EQ(r.options.log.messageId, 151);
  EXPECT_EQ(parse({"--size", "2G"}).options.log.sizeLimit, std::uint64_t{2} << 30);
}

TEST(Options, RejectsBadValues) {
  const std::vector<std::vector<const char*>> cases = {
      {"--id", "24"},
      {"--rate", "0"},
      {"--rate", "abc"},
      {"--garbage", "1.5"},
      {"--sow", "604800"},
      {"--week", "1.5"},
      {"--size", "12X"},
      {"--seed", "-1"},
      {"--duration"},
      {"--bogus"},
      {"--sow", "5", "--cross-week-end"},
  };
  for (const auto& args : cases) {
    const ParseResult r = parse(args);
    EXPECT_FALSE(r.ok) << args[0];
    EXPECT_FALSE(r.error.empty());
  }
}

}  // namespace
}  // namespace zlogsim
