// kapolex: converts a receiver log into a RINEX observation file; without
// arguments, "z.log" in the working directory into "z.obs".
#include <cstddef>

#include "run/run_driver.hpp"

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? static_cast<std::size_t>(argc - 1) : 0;
  return kapolex::runProgram({const_cast<const char* const*>(argv) + (count > 0 ? 1 : 0), count});
}
