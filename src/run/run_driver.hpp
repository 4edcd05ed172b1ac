// The program: the files under their fixed names in the working directory
// and the console, around the conversion.
#pragma once

namespace kapolex {

// Opens "z.log" and "z.obs" in the working directory, converts, closes both
// files and returns the exit status.
int runProgram();

}  // namespace kapolex
