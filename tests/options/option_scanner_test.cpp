#include "options/option_scanner.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace kapolex::options {
namespace {

constexpr auto table = std::to_array<OptionName>({
    {"output", 'o', true},
    {"week", 'w', true},
    {"quiet", 'q', false},
    {"qc", longOnly, true},
    {"qc-json", longOnly, true},
    {"snr", longOnly, false},
    {"start", longOnly, true},
    {"standard-name", longOnly, false},
    {"", 'h', false},  // a short name alone
});

// An item as the table below writes it: "week=1356", "quiet", "<log>" for
// an operand, and the faults by kind with the option as written. Built
// piece by piece: GCC 12 takes "literal" + std::string for an overlapping
// copy (-Wrestrict) at -O2 and above.
std::string shown(const ScanItem& item) {
  const OptionName& option = table[item.option];
  std::string text;
  switch (item.kind) {
    case ScanKind::option:
      text = option.longName.empty() ? writtenName(item) : std::string(option.longName);
      if (option.takesValue) text.append("=").append(item.value);
      return text;
    case ScanKind::operand:
      return text.append("<").append(item.value).append(">");
    case ScanKind::unknownLong:
    case ScanKind::unknownShort:
      return text.append("unknown ").append(writtenName(item));
    case ScanKind::ambiguousLong:
      return text.append("ambiguous ").append(writtenName(item));
    case ScanKind::unexpectedValue:
      return text.append(option.longName)
          .append(" takes no value, given '")
          .append(item.value)
          .append("'");
    case ScanKind::missingValue:
      return text.append(option.longName).append(" without its value in ").append(item.argument);
  }
  return "?";
}

std::vector<std::string> scanned(const std::vector<const char*>& arguments) {
  OptionScanner scanner(table, arguments);
  std::vector<std::string> items;
  while (const std::optional<ScanItem> item = scanner.next()) items.push_back(shown(*item));
  return items;
}

TEST(OptionScanner, ReadsArgumentsByGnuRules) {
  struct Case {
    std::vector<const char*> arguments;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      // Long options, their values after '=' or next, and abbreviations.
      {{"--week", "1356", "--output=x.obs"}, {"week=1356", "output=x.obs"}},
      {{"--we", "1356", "--out=a=b", "--qu"}, {"week=1356", "output=a=b", "quiet"}},
      {{"--week="}, {"week="}},
      {{"--week", "--quiet"}, {"week=--quiet"}},  // a value, whatever it looks like
      // A name written in full wins over the longer names it begins.
      {{"--qc", "q.txt", "--qc-", "q.json"}, {"qc=q.txt", "qc-json=q.json"}},
      // Ambiguous and unknown names, with or without a value.
      {{"--q"}, {"ambiguous --q"}},
      {{"--st=1"}, {"ambiguous --st"}},
      {{"--=x"}, {"ambiguous --"}},
      {{"--bogus=1", "---x"}, {"unknown --bogus", "unknown ---x"}},
      // Short options, grouped, with their values joined or next.
      {{"-q", "-w", "1356"}, {"quiet", "week=1356"}},
      {{"-qw", "1356"}, {"quiet", "week=1356"}},
      {{"-qw1356", "-wq"}, {"quiet", "week=1356", "week=q"}},
      {{"-qxh"}, {"quiet", "unknown -x", "-h"}},
      {{"-q=1"}, {"quiet", "unknown -=", "unknown -1"}},
      {{"-w", "--"}, {"week=--"}},
      // A switch given a value.
      {{"--snr=yes", "--sn="}, {"snr takes no value, given 'yes'", "snr takes no value, given ''"}},
      // A value missing: only the last argument can lack one.
      {{"-w"}, {"week without its value in -w"}},
      {{"site.log", "--we"}, {"<site.log>", "week without its value in --we"}},
      {{"-qw"}, {"quiet", "week without its value in -qw"}},
      // Operands anywhere; "-" and "" are operands; "--" ends the options.
      {{"a.log", "-q", "b", "--week", "1"}, {"<a.log>", "quiet", "<b>", "week=1"}},
      {{"-", "", "-q"}, {"<->", "<>", "quiet"}},
      {{"-q", "--", "-w", "--", "x"}, {"quiet", "<-w>", "<-->", "<x>"}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scanned(c.arguments), c.items) << (c.arguments.empty() ? "" : c.arguments[0]);
  }
}

TEST(OptionScanner, ItemsPointIntoTheArguments) {
  const std::vector<const char*> arguments = {"--we=1356", "-qw", "x"};
  OptionScanner scanner(table, arguments);
  const ScanItem week = scanner.next().value();
  EXPECT_EQ(week.written, "--we");
  EXPECT_EQ(week.argument, "--we=1356");
  EXPECT_TRUE(week.valueGiven);
  EXPECT_EQ(week.value.data(), arguments[0] + 5);
  EXPECT_EQ(scanner.next().value().letter, 'q');
  const ScanItem grouped = scanner.next().value();
  EXPECT_EQ(writtenName(grouped), "-w");
  EXPECT_EQ(grouped.argument, "-qw");
  EXPECT_EQ(grouped.value.data(), arguments[2]);
  EXPECT_FALSE(scanner.next().has_value());
  EXPECT_FALSE(scanner.next().has_value());
}

}  // namespace
}  // namespace kapolex::options
