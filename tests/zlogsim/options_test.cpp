// The command line.
#include "zlogsim/options.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
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

TEST(Options, OtherIdsListTheInterleavedMessageTypes) {
  struct Case {
    std::vector<const char*> args;
    std::vector<std::uint8_t> ids;
    double perEpoch;
  };
  const Case cases[] = {
      {{}, {}, 0.0},
      {{"--other", "2"}, {}, 2.0},
      {{"--other-ids", "8,19,50"}, {8, 19, 50}, 1.0},
      {{"--other-ids=0,255,22,24,150,152"}, {0, 255, 22, 24, 150, 152}, 1.0},
      {{"--other-ids", "7", "--other", "0.5"}, {7}, 0.5},
      {{"--other", "3", "--other-ids", "9,9"}, {9, 9}, 3.0},
  };
  for (const Case& c : cases) {
    const ParseResult r = parse(c.args);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.log.otherIds, c.ids) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(r.options.log.otherPerEpoch, c.perEpoch) << (c.args.empty() ? "" : c.args[0]);
  }
}

TEST(Options, FaultsAndTruthRows) {
  const ParseResult r = parse({"--slips", "12.5", "--lock-loss=3", "--code-noise", "0.4",
                               "--outage", "100,20", "--outage=0.5,1e3", "--truth-rows", "no"});
  ASSERT_TRUE(r.ok) << r.error;
  const ImpairmentSettings& i = r.options.log.simulation.impairments;
  EXPECT_EQ(i.slipsPerHour, 12.5);
  EXPECT_EQ(i.lockLossPerHour, 3.0);
  EXPECT_EQ(i.codeNoiseSigma, 0.4);
  ASSERT_EQ(r.options.log.outages.size(), 2U);
  EXPECT_EQ(r.options.log.outages[0].start, 100.0);
  EXPECT_EQ(r.options.log.outages[0].seconds, 20.0);
  EXPECT_EQ(r.options.log.outages[1].start, 0.5);
  EXPECT_EQ(r.options.log.outages[1].seconds, 1000.0);
  EXPECT_FALSE(r.options.truthRows);
  const ParseResult plain = parse({});
  EXPECT_TRUE(plain.options.truthRows);
  EXPECT_TRUE(plain.options.log.outages.empty());
  EXPECT_EQ(plain.options.log.simulation.impairments.slipsPerHour, 0.0);
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
      {"--other-ids", "23"},
      {"--other-ids", "8,151"},
      {"--other-ids", "256"},
      {"--other-ids", ""},
      {"--other-ids", "8,,9"},
      {"--other-ids", "8,"},
      {"--other-ids", "8;9"},
      {"--other-ids", "-1"},
      {"--other-ids"},
      {"--slips", "-1"},
      {"--slips", "3601"},
      {"--lock-loss", "x"},
      {"--lock-loss"},
      {"--code-noise", "-0.1"},
      {"--outage", "100"},
      {"--outage", "100,0"},
      {"--outage", "-1,10"},
      {"--outage", "10,-5"},
      {"--outage", "10,5,3"},
      {"--outage", ",5"},
      {"--outage", "1e10,5"},
      {"--truth-rows", "maybe"},
      {"--truth-rows"},
  };
  for (const auto& args : cases) {
    const ParseResult r = parse(args);
    EXPECT_FALSE(r.ok) << args[0];
    EXPECT_FALSE(r.error.empty());
  }
}

// zlogsim reads its options by the same rules as kapolex: abbreviations,
// grouped short options and values after '=' or next.
TEST(Options, AbbreviationsAndGroupsReachTheirFields) {
  const ParseResult r = parse({"--du", "5", "-r2", "--se=7", "-ho", "out.log"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.log.epochLimit, 10U);
  EXPECT_EQ(r.options.log.simulation.seed, 7U);
  EXPECT_TRUE(r.options.help);
  EXPECT_EQ(r.options.output, "out.log");
}

TEST(Options, FaultsNameTheOptionAsWritten) {
  struct Case {
    std::vector<const char*> args;
    std::string error;
  };
  const Case cases[] = {
      {{"--bogus=1"}, "unknown option --bogus=1"},
      {{"-x"}, "unknown option -x"},
      {{"z.log"}, "unknown option z.log"},
      {{"--", "-d"}, "unknown option -d"},
      {{"--o", "x"}, "ambiguous option --o"},
      {{"--stats=yes"}, "option --stats takes no value"},
      {{"-d"}, "invalid or missing value for -d"},
      {{"--dur", "x"}, "invalid or missing value for --dur"},
      {{"-dr", "5"}, "invalid or missing value for -d"},
  };
  for (const Case& c : cases) {
    const ParseResult r = parse(c.args);
    EXPECT_FALSE(r.ok) << c.args[0];
    EXPECT_EQ(r.error, c.error) << c.args[0];
  }
}

}  // namespace
}  // namespace zlogsim
