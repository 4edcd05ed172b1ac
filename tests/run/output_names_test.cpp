#include "run/output_names.hpp"

#include <gtest/gtest.h>

namespace kapolex {
namespace {

TEST(OutputNames, ObservationFileNamesFollowTheLog) {
  struct Case {
    const char* log;
    const char* observations;
  };
  const Case cases[] = {
      {"site.log", "site.obs"},
      {"site", "site.obs"},
      {"a.b/site", "a.b/site.obs"},
      {"dir/site.20061.log", "dir/site.20061.obs"},
      {".hidden", ".hidden.obs"},
      {"dir/.hidden", "dir/.hidden.obs"},
      {"/abs/path/z.LOG", "/abs/path/z.obs"},
      {"x.obs", "x.obs"},
  };
  for (const Case& c : cases) EXPECT_EQ(observationPathFor(c.log), c.observations) << c.log;
}

}  // namespace
}  // namespace kapolex
