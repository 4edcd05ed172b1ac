// Built on systems other than Linux (Windows, macOS) in place of the fault
// and size tests, which cannot be made there: each of their groups is
// reported as skipped with the reason, so that a run says what it did not
// check.
#include <gtest/gtest.h>

namespace kapolex {
namespace {

TEST(Faults, NeedLinuxFacilities) {
  GTEST_SKIP() << "the fault tests mount small tmpfs file systems in a namespace of their own, "
                  "write to /dev/full, read /proc/self/mem and give a child a folder as a "
                  "standard stream; only Linux has all of these";
}

TEST(LargeLogs, NeedLinuxFacilities) {
  GTEST_SKIP() << "the size tests read a child's peak memory from /proc and a 4.5 GB sparse log "
                  "from the tmpfs at /dev/shm; only Linux has both";
}

}  // namespace
}  // namespace kapolex
