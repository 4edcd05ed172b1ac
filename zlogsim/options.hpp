// The zlogsim command line.
#pragma once

#include <span>
#include <string>

#include "zlogsim/log_writer.hpp"

namespace zlogsim {

struct CommandLine {
  LogSettings log;
  std::string output = "z.log";  // "-": standard output
  std::string truthPath;         // empty: no truth file
  bool truthRows = true;         // one CSV row per channel record in the truth file
  bool stats = false;
  bool help = false;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // set when !ok
  CommandLine options;
};

// Parses the arguments after the program name, by the rules of kapolex's
// option scanner (src/options): abbreviated long options, grouped short
// ones, values after '=' or as the next argument. zlogsim takes no operand.
ParseResult parseCommandLine(std::span<const char* const> args);

// The text printed by --help.
std::string helpText();

}  // namespace zlogsim
