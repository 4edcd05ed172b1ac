// The program: the command line, the files and the console around the
// conversion.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace kapolex {

// The exit status of a run refused for its command line.
constexpr int usageErrorStatus = 2;

// Runs the program with the arguments after its name, in a process that
// platform::startProcess has readied: without any, opens
// "z.log" and "z.obs" in the working directory; converts, closes the files
// and returns the exit status.
int runProgram(std::span<const char* const> arguments);

// A usage error as data: the message the program prints, and the long name
// of the option it concerns, without dashes (empty for none).
struct UsageError {
  std::string message;
  std::string option;
};

// Runs the program as runProgram(arguments) does; a run refused for its
// command line also sets usageError, for a caller that shows the message
// at the option's field.
int runProgram(std::span<const char* const> arguments, std::optional<UsageError>& usageError);

}  // namespace kapolex
