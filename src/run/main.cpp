// kapolex: converts a receiver log into a RINEX observation file; without
// arguments, "z.log" in the working directory into "z.obs".
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "run/run_driver.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = kapolex::platform::startProcess(argc, argv);
  std::vector<const char*> pointers;
  pointers.reserve(arguments.size());
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  return kapolex::runProgram(pointers);
}
