// Built on Windows in place of the fault and size tests, which cannot be
// made there: each of their groups is reported as skipped with the reason,
// so that a run says what it did not check.
#include <gtest/gtest.h>

namespace kapolex {
namespace {

TEST(Faults, NeedPosixFacilities) {
  GTEST_SKIP() << "the fault tests mount small tmpfs file systems, write to /dev/full, read "
                  "/proc/self/mem, close or redirect a child's descriptors after fork and give "
                  "up root; Windows has none of these";
}

TEST(LargeLogs, NeedPosixFacilities) {
  GTEST_SKIP() << "the size tests read a child's peak memory from /proc and a 4.5 GB sparse log "
                  "from the tmpfs at /dev/shm; Windows has neither";
}

}  // namespace
}  // namespace kapolex
