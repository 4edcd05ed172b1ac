#include "common/platform.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/file_handle.hpp"
#include "common/gps_constants.hpp"
#include "common/utc_clock.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

namespace fs = std::filesystem;

// What absolutePath makes of a name, from a working folder it is given
// apart: the steps after the folder, or the whole path for an absolute one.
struct PathCase {
  std::string name;
  std::string expected;  // "@" stands for the working folder
};

std::string expand(const std::string& expected, const std::string& folder) {
  return expected.starts_with('@') ? folder + expected.substr(1) : expected;
}

TEST(Platform, AbsolutePathKeepsDotDotDropsDotAndUsesTheSystemsSeparator) {
  const std::string folder = platform::absolutePath(".");
  ASSERT_FALSE(folder.empty());
  std::vector<PathCase> cases;
  if (platform::pathSeparator == '/') {
    cases = {
        {"z.log", "@/z.log"},
        {"./a//b/./z.log", "@/a/b/z.log"},
        {"a/../z.log", "@/a/../z.log"},
        {"/x/./y//z", "/x/y/z"},
        {"/", "/"},
        {"a\\b", "@/a\\b"},  // a backslash is part of a POSIX name
    };
  } else {
    const std::string drive = folder.substr(0, 2);  // the working folder's "C:"
    cases = {
        {"z.log", "@\\z.log"},
        {"./a//b/./z.log", "@\\a\\b\\z.log"},
        {"a\\..\\z.log", "@\\a\\..\\z.log"},
        {"C:\\x\\.\\y//z", "C:\\x\\y\\z"},
        {"c:/x", "c:\\x"},
        {"C:\\", "C:\\"},
        {"\\x\\y", drive + "\\x\\y"},
        {"/x", drive + "\\x"},
        {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\a\\..\\b"},
        {"//server/share/./b", "\\\\server\\share\\b"},
        {"\\\\?\\C:\\x\\y", "\\\\?\\C:\\x\\y"},
        {drive + "z.log", "@\\z.log"},  // drive-relative: that drive's working folder
    };
  }
  for (const PathCase& c : cases) {
    EXPECT_EQ(platform::absolutePath(c.name), expand(c.expected, folder)) << c.name;
  }
  EXPECT_EQ(platform::absolutePath(""), folder);
}

TEST(Platform, SeparatorsAreTheSystems) {
  EXPECT_TRUE(platform::isPathSeparator('/'));
  EXPECT_TRUE(platform::isPathSeparator(platform::pathSeparator));
  EXPECT_FALSE(platform::isPathSeparator('.'));
  EXPECT_FALSE(platform::isPathSeparator(':'));
}

// Opens a file for writing; fails the test if it cannot.
FileHandle writable(const fs::path& path, bool& isRegular) {
  const platform::OpenedFile file = platform::openForWriting(path.string());
  EXPECT_EQ(file.failure, platform::OpenFailure::none) << path;
  isRegular = file.isRegularFile;
  return FileHandle(file.handle);
}

TEST(Platform, WritesAtTheEndAndAtAnOffsetAndTruncatesWithoutMovingThePosition) {
  testing::ScratchFolder folder;
  const fs::path path = folder.path() / "f.bin";
  folder.write("f.bin", "old content that stays until cut");
  bool isRegular = false;
  FileHandle file = writable(path, isRegular);
  ASSERT_TRUE(file);
  EXPECT_TRUE(isRegular);
  EXPECT_EQ(folder.read("f.bin"), "old content that stays until cut") << "opening cuts nothing";

  ASSERT_TRUE(platform::truncate(file.get(), 0));
  ASSERT_TRUE(platform::writeAll(file.get(), "line one\n", 9));
  // Bytes that must come through unchanged, line ends included.
  ASSERT_TRUE(platform::writeAll(file.get(), "\r\n\n\x1a\0!", 6));
  ASSERT_TRUE(platform::writeAllAt(file.get(), "LINE", 4, 0));
  ASSERT_TRUE(platform::writeAll(file.get(), "end", 3));       // after the earlier writes
  ASSERT_TRUE(platform::writeAllAt(file.get(), "++", 2, 20));  // past the end: a gap of zeros
  ASSERT_TRUE(platform::writeAll(file.get(), "#", 1));
  ASSERT_TRUE(file.close());
  EXPECT_EQ(folder.read("f.bin"),
            std::string("LINE one\n\r\n\n\x1a\0!end#", 19) + std::string(1, '\0') + "++");

  FileHandle again = writable(path, isRegular);
  ASSERT_TRUE(platform::writeAll(again.get(), "ab", 2));
  ASSERT_TRUE(platform::truncate(again.get(), 4));
  ASSERT_TRUE(platform::writeAll(again.get(), "cd", 2));  // still at 2
  ASSERT_TRUE(again.close());
  EXPECT_EQ(folder.read("f.bin"), "abcd");
}

TEST(Platform, ReadsAFileToItsEnd) {
  testing::ScratchFolder folder;
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  content.replace(1000, 2, "\r\n");
  folder.write("log", content);
  const platform::OpenedFile opened = platform::openForReading((folder.path() / "log").string());
  ASSERT_EQ(opened.failure, platform::OpenFailure::none);
  EXPECT_TRUE(opened.isRegularFile);
  FileHandle file(opened.handle);
  std::string read;
  char block[65536];
  for (;;) {
    const std::ptrdiff_t got = platform::readSome(file.get(), block, sizeof block);
    ASSERT_GE(got, 0);
    if (got == 0) break;
    read.append(block, static_cast<std::size_t>(got));
  }
  EXPECT_EQ(read, content);
}

TEST(Platform, OpenFailuresSayWhy) {
  testing::ScratchFolder folder;
  fs::create_directory(folder.path() / "sub");
  folder.write("file", "x");
  const std::string base = folder.path().string() + platform::pathSeparator;
  struct Case {
    std::string path;
    bool forWriting;
    platform::OpenFailure expected;
  };
  const Case cases[] = {
      {base + "missing", false, platform::OpenFailure::notFound},
      {base + "no" + platform::pathSeparator + "x", true, platform::OpenFailure::notFound},
      {base + "sub", false, platform::OpenFailure::other},
      {base + "sub", true, platform::OpenFailure::other},
      {base + "none" + platform::pathSeparator + ".." + platform::pathSeparator + "file", false,
       platform::OpenFailure::notFound},
      {base + "file" + platform::pathSeparator + ".." + platform::pathSeparator + "file", false,
       platform::OpenFailure::other},
      {base + "sub" + platform::pathSeparator + ".." + platform::pathSeparator + "file", false,
       platform::OpenFailure::none},
  };
  for (const Case& c : cases) {
    const platform::OpenedFile opened =
        c.forWriting ? platform::openForWriting(c.path) : platform::openForReading(c.path);
    FileHandle owned(opened.handle);
    EXPECT_EQ(opened.failure, c.expected) << c.path;
    EXPECT_EQ(static_cast<bool>(owned), c.expected == platform::OpenFailure::none) << c.path;
  }
}

TEST(Platform, SameFileIsTheFilesIdentityNotItsName) {
  testing::ScratchFolder folder;
  folder.write("a", "same content");
  folder.write("b", "same content");
  const std::string sep(1, platform::pathSeparator);
  const std::string a = folder.path().string() + sep + "a";
  const std::string b = folder.path().string() + sep + "b";
  EXPECT_TRUE(platform::sameFile(a, a));
  EXPECT_TRUE(platform::sameFile(a, folder.path().string() + sep + "." + sep + "a"));
  EXPECT_FALSE(platform::sameFile(a, b));
  EXPECT_FALSE(platform::sameFile(a, a + "-missing"));
}

// Files a run is about to create: one file when the names lead to one
// folder under one name, as the system compares names.
TEST(Platform, SameFileForFilesNotThereYetGoesByFolderAndName) {
  testing::ScratchFolder folder;
  fs::create_directory(folder.path() / "d");
  const std::string sep(1, platform::pathSeparator);
  const std::string base = folder.path().string() + sep;
  const bool caseBlind = platform::isPathSeparator('\\');  // Windows
  struct Case {
    std::string first, second;
    bool same;
  };
  const Case cases[] = {
      {base + "new.qc", base + "d" + sep + ".." + sep + "new.qc", true},
      {base + "new.qc", base + "d" + sep + "new.qc", false},
      {base + "new.qc", base + "other.qc", false},
      {base + "new.qc", base + "NEW.qc", caseBlind},
      {base + "new.qc", base + "missing" + sep + ".." + sep + "new.qc", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::sameFile(c.first, c.second), c.same) << c.first << " " << c.second;
  }
}

TEST(Platform, PathKindsAndRenames) {
  testing::ScratchFolder folder;
  folder.write("from", "moved");
  folder.write("to", "replaced");
  const std::string sep(1, platform::pathSeparator);
  const std::string base = folder.path().string() + sep;
  EXPECT_EQ(platform::pathKind(folder.path().string()), platform::PathKind::folder);
  EXPECT_EQ(platform::pathKind(base + "from"), platform::PathKind::other);
  EXPECT_EQ(platform::pathKind(base + "missing"), platform::PathKind::missing);
  EXPECT_EQ(platform::pathKind(base + "missing" + sep + "x"), platform::PathKind::missing);
  EXPECT_TRUE(platform::renameFile(base + "from", base + "to"));
  EXPECT_EQ(folder.read("to"), "moved");
  EXPECT_FALSE(folder.read("from").has_value());
  EXPECT_FALSE(platform::renameFile(base + "from", base + "again"));
}

TEST(Platform, FileNamesStartAfterTheLastSeparator) {
  struct Case {
    const char* path;
    std::size_t start;
  };
  std::vector<Case> cases = {{"site.log", 0}, {"a/b/site.log", 4}, {"/", 1}, {"", 0}};
  if (platform::isPathSeparator('\\')) {
    cases.insert(cases.end(), {{"a\\site.log", 2}, {"C:site.log", 2}, {"C:\\x", 3}, {"C:", 2}});
  } else {
    cases.insert(cases.end(), {{"a\\site.log", 0}, {"C:site.log", 0}});
  }
  for (const Case& c : cases) EXPECT_EQ(platform::fileNameStart(c.path), c.start) << c.path;
}

TEST(Platform, LocalTimeIsACalendarReading) {
  const platform::LocalDateTime now = platform::localTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_LE(now.year, 9999);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 60);
}

TEST(UtcClock, ReadsTheSystemClockAsGpsTimeWithTheLeapSeconds) {
  // 2017-01-01 00:00:00 UTC began GPS week 1930, 18 leap seconds behind it.
  EXPECT_EQ(gpsSecondsOfUtc(1483228800), 1930 * wholeSecondsPerWeek + 18);
  EXPECT_EQ(gpsSecondsOfUtc(gpsEpochUtcSeconds), gpsAheadOfUtcSeconds);
  EXPECT_GT(systemUtcClock().readSeconds(), 1483228800);
}

}  // namespace
}  // namespace kapolex
