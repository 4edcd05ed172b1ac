// The program: the command line, the files and the console around the
// conversion.
#pragma once

#include <span>

namespace kapolex {

// The exit status of a run refused for its command line.
constexpr int usageErrorStatus = 2;

// Runs the program with the arguments after its name, in a process that
// platform::startProcess has readied: without any, opens
// "z.log" and "z.obs" in the working directory; converts, closes the files
// and returns the exit status.
int runProgram(std::span<const char* const> arguments);

}  // namespace kapolex
