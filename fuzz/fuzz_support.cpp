#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>

namespace kapolex::fuzzing {

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

bool isSpecifiedStatus(int status) {
  constexpr int endOfFileStatus = static_cast<int>(0xC0000018u);
  constexpr int prnStatus = 98463;
  return status == 0 || status == endOfFileStatus || status == prnStatus;
}

}  // namespace kapolex::fuzzing
