// Every option the program knows is documented: in the manual page, as an
// entry of its own, and in the user guide's table of options.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "run/command_line.hpp"

namespace kapolex {
namespace {

// The text of a file of the source tree, or nothing when it cannot be read.
std::optional<std::string> sourceFile(std::string_view name) {
  std::ifstream file(std::filesystem::path(KAPOLEX_SOURCE_DIR) / name, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> wordsOf(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream stream(line);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// An option as groff source writes it: every dash escaped.
std::string manualSpelling(std::string_view name) {
  std::string spelling = "\\-\\-";
  for (const char c : name) spelling += c == '-' ? std::string("\\-") : std::string(1, c);
  return spelling;
}

TEST(OptionDocs, ManualPageHasAnEntryForEveryOption) {
  const std::optional<std::string> page = sourceFile("doc/kapolex.1");
  ASSERT_TRUE(page.has_value()) << "cannot read doc/kapolex.1";
  // An entry's heading is the line after .TP: ".BR \-o ", " \-\-output " \fIFILE\fP"".
  std::vector<std::string> headingWords;
  const std::vector<std::string> lines = linesOf(*page);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] != ".TP") continue;
    for (std::string& word : wordsOf(lines[i + 1])) headingWords.push_back(std::move(word));
  }
  for (const std::string_view name : optionNames()) {
    const bool documented = std::find(headingWords.begin(), headingWords.end(),
                                      manualSpelling(name)) != headingWords.end();
    EXPECT_TRUE(documented) << "doc/kapolex.1 has no .TP entry for --" << name;
  }
}

// The first cell of each row of the table under "## Options", which names
// the options in backticks: "`-o`, `--output FILE`".
std::vector<std::string> optionCells(const std::string& guide) {
  std::vector<std::string> cells;
  bool inOptions = false;
  for (const std::string& line : linesOf(guide)) {
    if (line.starts_with("## ")) inOptions = line == "## Options";
    if (!inOptions || !line.starts_with('|')) continue;
    cells.push_back(line.substr(1, line.find('|', 1) - 1));
  }
  return cells;
}

// Whether a cell names the option in backticks, alone or with its value.
bool namesOption(const std::string& cell, std::string_view name) {
  const std::string option = "--" + std::string(name);
  for (std::size_t open = cell.find('`'); open != std::string::npos;) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) return false;
    const std::string quoted = cell.substr(open + 1, close - open - 1);
    if (quoted == option || quoted.starts_with(option + " ")) return true;
    open = cell.find('`', close + 1);
  }
  return false;
}

TEST(OptionDocs, UserGuideTableListsEveryOption) {
  const std::optional<std::string> guide = sourceFile("doc/user-guide.md");
  ASSERT_TRUE(guide.has_value()) << "cannot read doc/user-guide.md";
  const std::vector<std::string> cells = optionCells(*guide);
  ASSERT_FALSE(cells.empty()) << "doc/user-guide.md has no table under '## Options'";
  for (const std::string_view name : optionNames()) {
    const bool documented = std::any_of(cells.begin(), cells.end(), [&](const std::string& cell) {
      return namesOption(cell, name);
    });
    EXPECT_TRUE(documented) << "the table under '## Options' in doc/user-guide.md has no row for --"
                            << name;
  }
}

}  // namespace
}  // namespace kapolex
