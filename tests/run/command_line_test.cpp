#include "run/command_line.hpp"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "common/platform.hpp"

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

// A usage error names the option it concerns by its long name, however
// the option was written, so that a form can mark the field; an error
// about no single option names none.
TEST(CommandLine, UsageErrorsCarryTheirOption) {
  struct Case {
    std::vector<const char*> arguments;
    std::string option;
  };
  const std::string tooLong(61, 'a');
  const Case cases[] = {
      {{"--bogus"}, ""},
      {{"--s"}, ""},
      {{"-qx"}, ""},
      {{"-qw"}, "--week"},
      {{"site.log", "--we"}, "--week"},
      {{"--sn=yes"}, "--snr"},
      {{"--s=yes"}, "--standard-name"},  // the first option without a value that "s" begins
      {{"-w", "0"}, "--week"},
      {{"-w", "1", "--dat", "2006-01-01"}, "--date"},
      {{"--interval=0"}, "--interval"},
      {{"--marker-name", tooLong.c_str()}, "--marker-name"},
      {{"--agency", "Caf\xc3\xa9"}, "--agency"},
      {{"--position", "1e9,0,0"}, "--position"},
      {{"--antenna-delta", "x"}, "--antenna-delta"},
      {{"--rinex-version", "4"}, "--rinex-version"},
      {{"--start", "2006-01-18"}, "--start"},
      {{"--start", "2006-01-18T11:20:00", "--end", "2006-01-18T11:20:00"}, "--end"},
      {{"--split", "week"}, "--split"},
      {{"-o", ""}, "--output"},
      {{"--qc="}, "--qc"},
      {{"a", "b"}, ""},
      {{""}, ""},
      {{"-"}, "--week"},
      {{"--plot", "-"}, "--week"},
      {{"-w", "1", "--no-obs", "--standard-name", "--start", "2006-01-18T11:20:00"},
       "--standard-name"},
      {{"-w", "1", "--split", "day", "-o", "-"}, "--output"},
      {{"--station", "PIL7"}, "--station"},
      {{"--split", "day", "--station", "ab/c"}, "--station"},
      {{"-w", "1", "-", "--qc-json", "-"}, "--qc-json"},
      {{"-w", "1", "--qc", "-", "--plot", "-"}, "--plot"},
      {{"-w"}, "--week"},
      {{"--week"}, "--week"},
      {{"z.log", "--wee"}, "--week"},
      {{"-qw"}, "--week"},
      {{"-w", "1", "--qc"}, "--qc"},
      {{"--qc-json"}, "--qc-json"},
      {{"--snr=yes"}, "--snr"},
      {{"--bogus"}, ""},
      {{"--m", "x"}, ""},
      {{"-x"}, ""},
      {{"-w", "0"}, "--week"},
      {{"-w", "1356", "--date", "2006-01-01"}, "--date"},
      {{"--date", "2006-01-01", "-w", "1356"}, "--week"},
      {{"--interval", "0"}, "--interval"},
      {{"--marker-name", tooLong.c_str()}, "--marker-name"},
      {{"--agency", "Caf\xc3\xa9"}, "--agency"},
      {{"--position", "1e9,0,0"}, "--position"},
      {{"--antenna-delta", "1,2"}, "--antenna-delta"},
      {{"-o", ""}, "--output"},
      {{"--rinex-version", "2.10"}, "--rinex-version"},
      {{"--start", "2006-01-18"}, "--start"},
      {{"--start", "2006-01-18T11:20:00", "--end", "2006-01-18T11:20:00"}, "--end"},
      {{"--split", "week"}, "--split"},
      {{"--split", "hour", "--station", "ab/c"}, "--station"},
      {{"--station", "PIL7"}, "--station"},
      {{"--no-obs", "-o", "x.obs"}, "--output"},
      {{"--no-obs", "--standard-name"}, "--standard-name"},
      {{"-"}, "--week"},
      {{"-o", "-"}, "--week"},
      {{"z.log", "site.log"}, ""},
      {{""}, ""},
  };
  for (const Case& c : cases) {
    const CommandLine line = parsed(c.arguments);
    SCOPED_TRACE(c.arguments.front());
    EXPECT_EQ(line.action, CommandLine::Action::usageError);
    EXPECT_FALSE(line.error.empty());
    EXPECT_EQ(line.errorOption, c.option) << line.error;
  }
  EXPECT_EQ(parsed({"-w", "1356"}).errorOption, "");
}

// Files named by their epochs go in the log's folder unless --output names
// another; the station comes from the marker name unless given.
TEST(CommandLine, NamingTakesTheLogsFolderAndTheMarkersStation) {
  const CommandLine split = parsed({"--split=hour", "--rinex-version", "3", "--station",
                                    "pil700deu", "data/site.log", "-w", "1358"});
  ASSERT_EQ(split.action, CommandLine::Action::run) << split.error;
  ASSERT_TRUE(split.options.naming.has_value());
  EXPECT_EQ(split.options.observationPath, "");
  EXPECT_EQ(split.options.naming->folder, "data/");
  EXPECT_EQ(split.options.naming->station, "pil700deu");
  EXPECT_EQ(split.options.naming->split, hourlyPeriod);
  const CommandLine single = parsed({"--standard-name", "-o", "out", "--marker-name", "PIL7 N"});
  ASSERT_TRUE(single.options.naming.has_value());
  EXPECT_EQ(single.options.naming->folder, "out");
  EXPECT_EQ(single.options.naming->station, "PIL7");
  EXPECT_EQ(single.options.naming->temporaryPath,
            std::string("out") + platform::pathSeparator + "z.log.part");
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

// The header a run writes, as far as options set it.
auto headerValues(const HeaderFields& h) {
  return std::tie(h.markerName, h.markerNumber, h.observer, h.agency, h.runBy, h.receiverNumber,
                  h.antennaNumber, h.antennaType, h.position, h.antennaDelta, h.intervalSeconds,
                  h.withSnr, h.dialect, h.withLastObservation);
}

// A form offers the options as the table describes them: each choice is a
// value the option takes, and a default is what a run takes without the
// option.
TEST(CommandLine, DescriptionsGiveUsableChoicesAndTrueDefaults) {
  const std::vector<OptionDescription> descriptions = describeOptions();
  const std::vector<std::string_view> names = optionNames();
  ASSERT_EQ(descriptions.size(), names.size());
  const CommandLine plain = parsed({"-w", "1"});
  std::set<std::string_view> withDefaults;
  for (std::size_t i = 0; i < descriptions.size(); ++i) {
    const OptionDescription& option = descriptions[i];
    EXPECT_EQ(option.name, names[i]);
    EXPECT_FALSE(option.group.empty()) << option.name;
    const std::string name = "--" + std::string(option.name);
    for (const std::string_view choice : option.choices) {
      const std::string value(choice);
      const CommandLine line = parsed({"-w", "1", name.c_str(), value.c_str()});
      EXPECT_EQ(line.action, CommandLine::Action::run) << name << ' ' << choice << line.error;
    }
    if (option.defaultValue.empty()) continue;
    withDefaults.insert(option.name);
    const CommandLine line = parsed({"-w", "1", name.c_str(), option.defaultValue.c_str()});
    ASSERT_EQ(line.action, CommandLine::Action::run) << name << line.error;
    EXPECT_TRUE(headerValues(line.options.header) == headerValues(plain.options.header)) << name;
  }
  EXPECT_EQ(withDefaults, (std::set<std::string_view>{"interval", "rinex-version"}));
}

}  // namespace
}  // namespace kapolex
