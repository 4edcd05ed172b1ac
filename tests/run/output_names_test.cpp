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

// Files named by their epochs: the log's folder as given, names in a folder,
// and the temporary name of a file named at its end.
TEST(OutputNames, FoldersAndTemporaryNames) {
  struct Case {
    const char* log;
    const char* folder;     // of the log
    const char* temporary;  // in that folder
    const char* inOut;      // the temporary name in the folder "out"
  };
  const Case cases[] = {
      {"site.log", "", "site.log.part", "out/site.log.part"},
      {"data/site.log", "data/", "data/site.log.part", "out/site.log.part"},
      {"/abs/a.b/site", "/abs/a.b/", "/abs/a.b/site.part", "out/site.part"},
      {"-", "", "kapolex.part", "out/kapolex.part"},
      {"dir/-", "dir/", "dir/-.part", "out/-.part"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(folderOf(c.log), c.folder) << c.log;
    EXPECT_EQ(temporaryPathFor(folderOf(c.log), c.log), c.temporary) << c.log;
    EXPECT_EQ(temporaryPathFor("out", c.log), c.inOut) << c.log;
  }
  EXPECT_EQ(pathInFolder("out/", "x.06o"), "out/x.06o");
  EXPECT_EQ(pathInFolder("/", "x.06o"), "/x.06o");
  EXPECT_EQ(pathInFolder(".", "x.06o"), "./x.06o");
}

}  // namespace
}  // namespace kapolex
