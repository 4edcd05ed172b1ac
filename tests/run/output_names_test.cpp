#include "run/output_names.hpp"

#include <gtest/gtest.h>

#include <string>
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

// Files named by their epochs: the log's folder as given, names in a folder,
// and the temporary name of a file named at its end.
TEST(OutputNames, FoldersAndTemporaryNames) {
  struct Case {
    const char* log;
    const char* folder;     // of the log
    const char* temporary;  // in that folder
    const char* name;       // of the temporary file, in any other folder
  };
  std::vector<Case> cases = {
      {"site.log", "", "site.log.part", "site.log.part"},
      {"data/site.log", "data/", "data/site.log.part", "site.log.part"},
      {"/abs/a.b/site", "/abs/a.b/", "/abs/a.b/site.part", "site.part"},
      {"-", "", "kapolex.part", "kapolex.part"},
      {"dir/-", "dir/", "dir/-.part", "-.part"},
  };
  if (platform::isPathSeparator('\\')) {
    cases.push_back(
        {"C:\\data\\site.log", "C:\\data\\", "C:\\data\\site.log.part", "site.log.part"});
    cases.push_back({"\\\\server\\share\\z.log", "\\\\server\\share\\",
                     "\\\\server\\share\\z.log.part", "z.log.part"});
  }
  const std::string out = std::string("out") + platform::pathSeparator;
  for (const Case& c : cases) {
    EXPECT_EQ(folderOf(c.log), c.folder) << c.log;
    EXPECT_EQ(temporaryPathFor(folderOf(c.log), c.log), c.temporary) << c.log;
    EXPECT_EQ(temporaryPathFor("out", c.log), out + c.name) << c.log;
  }
  EXPECT_EQ(pathInFolder("out/", "x.06o"), "out/x.06o");
  EXPECT_EQ(pathInFolder("/", "x.06o"), "/x.06o");
  EXPECT_EQ(pathInFolder(".", "x.06o"), std::string(".") + platform::pathSeparator + "x.06o");
}

}  // namespace
}  // namespace kapolex
