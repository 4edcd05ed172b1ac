#include "options/help_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kapolex::options {
namespace {

TEST(HelpText, OptionColumnsLineUpLongNames) {
  EXPECT_EQ(optionColumn('o', "output", "FILE"), "  -o, --output FILE");
  EXPECT_EQ(optionColumn(longOnly, "snr", ""), "      --snr");
  EXPECT_EQ(optionColumn('q', "quiet", ""), "  -q, --quiet");
  EXPECT_EQ(optionColumn(longOnly, "", ""), "      --");
}

TEST(HelpText, HelpStartsInOneColumnAndWrapsAtTheWidth) {
  const std::string word9 = "nine-char";
  std::string longHelp;  // 8 words of 9 and a blank: 80 characters
  for (int i = 0; i < 8; ++i) longHelp += (i > 0 ? " " : "") + word9;
  const std::string kept = "first words\n  kept  as written\nwrapped again";
  const std::vector<HelpEntry> entries = {
      {"  -o, --output FILE", "short help"},
      {"      --x", longHelp},
      {"      --y", kept},
  };
  const std::string pad(21, ' ');  // two past the widest column, of 19
  const std::string expected =
      "  -o, --output FILE  short help\n"
      "      --x" +
      std::string(12, ' ') + "nine-char nine-char nine-char nine-char nine-char\n" + pad +
      "nine-char nine-char nine-char\n" + "      --y" + std::string(12, ' ') + "first words\n" +
      pad + "  kept  as written\n" + pad + "wrapped again\n";
  EXPECT_EQ(helpEntries(entries), expected);
  // A line of exactly the width stays whole.
  const std::string widest(helpWidth - 6, 'w');
  const std::string overWidth = widest + " w";
  const std::vector<HelpEntry> full = {{"  -a", widest}, {"  -b", overWidth}};
  EXPECT_EQ(helpEntries(full), "  -a  " + widest + "\n  -b  " + widest + "\n      w\n");
}

}  // namespace
}  // namespace kapolex::options
