#include "options/help_text.hpp"

#include <algorithm>

namespace kapolex::options {

namespace {

// Appends line, then the words of text from helpColumn on, wrapped to the
// help width.
void appendWrapped(std::string& out, std::string line, std::string_view text,
                   std::size_t helpColumn) {
  line.resize(helpColumn, ' ');
  bool lineHasWords = false;
  while (!text.empty()) {
    const std::string_view word = text.substr(0, text.find(' '));
    text.remove_prefix(std::min(text.size(), word.size() + 1));
    if (lineHasWords && line.size() + 1 + word.size() > helpWidth) {
      out += line;
      out += '\n';
      line.assign(helpColumn, ' ');
      lineHasWords = false;
    }
    if (lineHasWords) line += ' ';
    line += word;
    lineHasWords = true;
  }
  out += line;
  out += '\n';
}

}  // namespace

std::string optionColumn(char shortName, std::string_view longName, std::string_view metavar) {
  std::string column =
      shortName != longOnly ? std::string{' ', ' ', '-', shortName, ',', ' '} : std::string(6, ' ');
  column += "--";
  column += longName;
  if (!metavar.empty()) {
    column += ' ';
    column += metavar;
  }
  return column;
}

std::string helpEntries(std::span<const HelpEntry> entries) {
  std::size_t widest = 0;
  for (const HelpEntry& entry : entries) widest = std::max(widest, entry.column.size());
  const std::size_t helpColumn = widest + 2;
  std::string text;
  for (const HelpEntry& entry : entries) {
    std::string column = entry.column;
    std::string_view help = entry.help;
    do {
      const std::string_view line = help.substr(0, help.find('\n'));
      help.remove_prefix(std::min(help.size(), line.size() + 1));
      if (line.starts_with(' ')) {
        text += std::string(helpColumn, ' ');
        text += line;
        text += '\n';
      } else {
        appendWrapped(text, std::move(column), line, helpColumn);
      }
      column.clear();
    } while (!help.empty());
  }
  return text;
}

}  // namespace kapolex::options
