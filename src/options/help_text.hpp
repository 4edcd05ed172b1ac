// The option lines of a program's --help, laid out one way for kapolex and
// zlogsim: each option in a left column, its help beside it in one column
// shared by all, with its words wrapped to the width of a terminal.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "options/option_scanner.hpp"

namespace kapolex::options {

// The width no line of a help text goes past.
inline constexpr std::size_t helpWidth = 79;

// One entry of a help text: its left column and its help.
struct HelpEntry {
  std::string column;  // "  -o, --output FILE"
  // Words, wrapped; a '\n' starts a new line, and a line that starts with a
  // blank is kept as written.
  std::string_view help;
};

// "  -o, --output FILE": an option as the left column shows it; without a
// short name the long one stands where it would after one. An empty
// metavar is an option without a value.
std::string optionColumn(char shortName, std::string_view longName, std::string_view metavar);

// The entries, one after the other, each help starting two columns past
// the widest left column.
std::string helpEntries(std::span<const HelpEntry> entries);

}  // namespace kapolex::options
