// kapolex: converts the receiver log "z.log" in the working directory into
// the RINEX observation file "z.obs". It takes no arguments.
#include "run/run_driver.hpp"

int main() {
  return kapolex::runProgram();
}
