#include "run/output_names.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "common/platform.hpp"

namespace kapolex {
namespace {

TEST(OutputNames, ObservationFileNamesFollowTheLog) {
  struct Case {
    const char* log;
    const char* observations;
  };
  std::vector<Case> cases = {
      {"site.log", "site.obs"},
      {"site", "site.obs"},
      {"a.b/site", "a.b/site.obs"},
      {"dir/site.20061.log", "dir/site.20061.obs"},
      {".hidden", ".hidden.obs"},
      {"dir/.hidden", "dir/.hidden.obs"},
      {"/abs/path/z.LOG", "/abs/path/z.obs"},
      {"x.obs", "x.obs"},
  };
  if (platform::isPathSeparator('\\')) {
    // Windows: either separator, and a drive letter.
    cases.push_back({"a.b\\site", "a.b\\site.obs"});
    cases.push_back({"C:\\dir.x\\.hidden", "C:\\dir.x\\.hidden.obs"});
    cases.push_back({"\\\\server\\share\\z.log", "\\\\server\\share\\z.obs"});
    cases.push_back({"D:site.log", "D:site.obs"});
  } else {
    // A backslash is part of a POSIX file name.
    cases.push_back({"a.b\\site", "a.obs"});
  }
  for (const Case& c : cases) EXPECT_EQ(observationPathFor(c.log), c.observations) << c.log;
}

}  // namespace
}  // namespace kapolex
