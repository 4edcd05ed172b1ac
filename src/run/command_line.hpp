// The command line for scripts and field work. A run without arguments is
// the classic one: z.log to z.obs in the working directory, the week asked at
// the console. Options name the files, give the week or the survey date, the
// decimation interval, the RINEX version, a time window, files split by day
// or hour under standard names, the header's station and equipment fields
// and S1;
// every value is checked here, before anything is opened, so that a usage
// error changes nothing on disk.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_options.hpp"

namespace kapolex {

struct CommandLine {
  enum class Action { run, help, version, usageError };
  Action action = Action::run;
  RunOptions options;
  std::string error;  // what is wrong, for a usage error
  // The option a usage error concerns, by its long name with its dashes
  // ("--week"), so that a form can mark its field; empty when the error
  // concerns no single option.
  std::string errorOption;
};

// Parses the arguments after the program name.
CommandLine parseCommandLine(std::span<const char* const> arguments);

// The text of --help.
std::string usageText();

// The text of --version.
std::string versionLines();

// The long names of the options, without their dashes, in the order --help
// lists them.
std::vector<std::string_view> optionNames();

}  // namespace kapolex
