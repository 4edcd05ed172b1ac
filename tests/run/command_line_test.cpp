#include "run/command_line.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
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

// The new options' values, and what the parser makes of them: the folder
// and station of standard names, the temporary name, TIME OF LAST OBS.
TEST(CommandLine, VersionWindowAndNamingReachTheirFields) {
  const CommandLine split =
      parsed({"--split=hour", "--rinex-version", "3", "--station", "pil700deu", "data/site.log",
              "--start", "2006-01-18 11:20:00", "--end=2006-01-18T12:00:00", "-w", "1358"});
  ASSERT_EQ(split.action, CommandLine::Action::run) << split.error;
  const RunOptions& options = split.options;
  EXPECT_EQ(options.header.rinexVersion, RinexVersion::v3_04);
  EXPECT_TRUE(options.header.withLastObservation);
  EXPECT_EQ(options.window.start, 1358 * 604800LL + 3 * 86400 + 11 * 3600 + 20 * 60);
  EXPECT_EQ(options.window.end, 1358 * 604800LL + 3 * 86400 + 12 * 3600);
  EXPECT_EQ(options.observationPath, "");
  ASSERT_TRUE(options.naming.has_value());
  EXPECT_EQ(options.naming->folder, "data/");
  EXPECT_EQ(options.naming->station, "pil700deu");
  EXPECT_EQ(options.naming->split, hourlyPeriod);

  // One file named at its end, in the folder of --output, with the station
  // from the marker name.
  const CommandLine single =
      parsed({"--standard-name", "-o", "out", "--marker-name", "PIL7 north", "site.log"});
  ASSERT_EQ(single.action, CommandLine::Action::run) << single.error;
  ASSERT_TRUE(single.options.naming.has_value());
  EXPECT_EQ(single.options.naming->folder, "out");
  EXPECT_EQ(single.options.naming->station, "PIL7");
  EXPECT_FALSE(single.options.naming->split.has_value());
  EXPECT_EQ(single.options.naming->temporaryPath, "out/site.log.part");
  EXPECT_EQ(single.options.header.rinexVersion, RinexVersion::v2_10);
  EXPECT_TRUE(single.options.header.withLastObservation);

  // A marker name that cannot name a file leaves the station unknown; the
  // plain run and RINEX 2 keep their header without TIME OF LAST OBS.
  EXPECT_EQ(parsed({"--split", "day", "--marker-name", "P 7"}).options.naming->station, "XXXX");
  EXPECT_FALSE(parsed({"--rinex-version", "2", "--start", "2006-01-18T11:20:00"})
                   .options.header.withLastObservation);
  EXPECT_FALSE(parsed({}).options.naming.has_value());
  EXPECT_FALSE(parsed({}).options.window.given());
}

// The option an entry of --help starts with: "--output" in
// "  -o, --output FILE  the observation file"; empty for other lines.
std::string entryOption(std::string_view line) {
  const bool withShortForm = line.starts_with("  -") && line.substr(4).starts_with(", ");
  if (withShortForm || line.starts_with("      ")) line.remove_prefix(6);
  if (!line.starts_with("--")) return "";
  return std::string(line.substr(0, line.find(' ')));
}

// The option lines of --help are generated: each option has one entry, the
// help of every entry starts in one shared column, and no line is wider
// than a terminal.
TEST(CommandLine, HelpHasOneAlignedEntryPerOption) {
  std::map<std::string, int> entries;
  std::set<std::size_t> helpColumns;
  std::istringstream text(usageText());
  for (std::string line; std::getline(text, line);) {
    EXPECT_LE(line.size(), 79u) << line;
    const std::string option = entryOption(line);
    if (option.empty()) continue;
    ++entries[option];
    const std::size_t gap = line.find("  ", line.find(option));
    ASSERT_NE(gap, std::string::npos) << line;
    helpColumns.insert(line.find_first_not_of(' ', gap));
  }
  for (const std::string_view name : optionNames()) {
    EXPECT_EQ(entries["--" + std::string(name)], 1) << name;
  }
  EXPECT_EQ(entries.size(), optionNames().size() + 1);  // and "--", which ends the options
  EXPECT_EQ(helpColumns.size(), 1u);
}

}  // namespace
}  // namespace kapolex
