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

// How a form asks for an option's value.
enum class FormKind { text, number, date, time, choice, onOff };

// An option as a form needs it, taken from the table that drives the
// parser and --help.
struct OptionDescription {
  std::string_view name;                      // the long name, without dashes
  char shortName;                             // '\0' for none
  std::string_view metavar;                   // as --help names the value; empty for a switch
  std::string_view help;                      // as --help gives it, before wrapping
  FormKind kind;                              // onOff for a switch, which takes no value
  std::span<const std::string_view> choices;  // a choice's values, as given
  // The value a run takes without the option, where one value is that
  // ("5" for --interval, "2" for --rinex-version); empty otherwise.
  std::string defaultValue;
  std::string_view group;  // the fieldset a form puts it in, such as "Header"
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

// Every option, in the order --help lists them, described for a form.
std::vector<OptionDescription> describeOptions();

}  // namespace kapolex
