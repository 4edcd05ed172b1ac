// Built on systems other than Linux in place of the test that follows a log
// the test writes while the program runs: its group is reported as skipped
// with the reason. The followed run's decisions and files in memory
// (follow_test.cpp) are tested everywhere.
#include <gtest/gtest.h>

namespace kapolex {
namespace {

TEST(Follow, NeedsLinuxFacilities) {
  GTEST_SKIP() << "the test sends POSIX stop signals and reads from /proc when the program "
                  "holds them and how far it has read its log; Windows under wine has neither "
                  "(its console control events cannot be sent to a program under wine's test "
                  "runner)";
}

}  // namespace
}  // namespace kapolex
