// The portable path rules over systems made up for the test, so that both
// naming styles are checked wherever the tests run: a POSIX-like system and
// one with drives, both separators and names compared regardless of case.
#include "common/platform_paths.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <span>
#include <string>

namespace kapolex::platform {
namespace {

struct FakeFile {
  std::string_view path;
  FileIdentity identity;
};

// What a made-up system answers: its working folder and the files there.
struct FakeSystem {
  char separator;
  std::string_view separators;
  bool drives;  // "D:" roots, and a lone separator leads to the working drive's root
  std::string_view currentFolder;
  std::span<const FakeFile> files;
  bool caseBlind;
};

template <const FakeSystem& fake>
bool isFakeSeparator(char c) {
  return fake.separators.find(c) != std::string_view::npos;
}

template <const FakeSystem& fake>
std::size_t fakeRootLength(std::string_view name) {
  if (fake.drives && name.size() >= 2 && name[1] == ':') {
    return name.size() > 2 && isFakeSeparator<fake>(name[2]) ? 3 : 2;
  }
  return !name.empty() && isFakeSeparator<fake>(name[0]) ? 1 : 0;
}

template <const FakeSystem& fake>
std::string fakeRootFolder(std::string_view root) {
  if (!fake.drives) return std::string(1, fake.separator);
  if (root.size() == 2) return std::string(root) + "\\drive-" + root[0];  // "D:"
  if (root.size() == 1) return std::string(fake.currentFolder.substr(0, 3));
  return std::string(root.substr(0, 2)) + fake.separator;
}

template <const FakeSystem& fake>
PathSystem pathSystemOf() {
  return {fake.separator,
          isFakeSeparator<fake>,
          fakeRootLength<fake>,
          fakeRootFolder<fake>,
          [] { return std::string(fake.currentFolder); },
          [](const std::string& path) -> std::optional<FileIdentity> {
            for (const FakeFile& file : fake.files) {
              if (file.path == path) return file.identity;
            }
            return std::nullopt;
          },
          [](std::string_view first, std::string_view second) {
            const auto folded = [](char c) {
              return fake.caseBlind ? std::tolower(static_cast<unsigned char>(c)) : c;
            };
            return std::equal(first.begin(), first.end(), second.begin(), second.end(),
                              [&](char a, char b) { return folded(a) == folded(b); });
          }};
}

constexpr auto posixFiles = std::to_array<FakeFile>({
    {"/d/", {1, 1}},
    {"/d/sub/../", {1, 1}},  // the system resolves "..", the rules do not
    {"/d/sub/", {1, 3}},
    {"/d/a", {1, 2}},
    {"/d/link-to-a", {1, 2}},
    {"/e/a", {2, 2}},  // the same number on another volume
});
constexpr auto driveFiles = std::to_array<FakeFile>({
    {"C:\\d\\", {7, 1}},
    {"C:/d/", {7, 1}},
    {"C:\\d\\a", {7, 2}},
});
constexpr FakeSystem posixLike{'/', "/", false, "/work/site", posixFiles, false};
constexpr FakeSystem driveLike{'\\', "\\/", true, "C:\\work", driveFiles, true};
constexpr FakeSystem lost{'/', "/", false, "", {}, false};  // its working folder is unknown

TEST(PlatformPaths, NamesWalkToFullPathsStepByStep) {
  struct Case {
    const PathSystem system;
    std::string name;
    std::string path;
  };
  const Case cases[] = {
      {pathSystemOf<posixLike>(), "z.log", "/work/site/z.log"},
      {pathSystemOf<posixLike>(), "./a//b/./z.log", "/work/site/a/b/z.log"},
      {pathSystemOf<posixLike>(), "a/../z.log", "/work/site/a/../z.log"},
      {pathSystemOf<posixLike>(), "/x/./y//z", "/x/y/z"},
      {pathSystemOf<posixLike>(), "//", "/"},
      {pathSystemOf<posixLike>(), "", "/work/site"},
      {pathSystemOf<posixLike>(), "a\\b", "/work/site/a\\b"},
      {pathSystemOf<driveLike>(), "a/b\\.\\c", "C:\\work\\a\\b\\c"},
      {pathSystemOf<driveLike>(), "D:x\\..\\y", "D:\\drive-D\\x\\..\\y"},
      {pathSystemOf<driveLike>(), "D:/x//y/", "D:\\x\\y"},
      {pathSystemOf<driveLike>(), "D:", "D:\\drive-D"},
      {pathSystemOf<driveLike>(), "\\x", "C:\\x"},
      {pathSystemOf<lost>(), "./z.log", "./z.log"},
      {pathSystemOf<lost>(), "/x/./y", "/x/y"},
  };
  for (const Case& c : cases) EXPECT_EQ(absolutePathOn(c.system, c.name), c.path) << c.name;
}

TEST(PlatformPaths, FileNamesStartAfterTheLastSeparatorOrTheRoot) {
  struct Case {
    const PathSystem system;
    std::string path;
    std::size_t start;
  };
  const Case cases[] = {
      {pathSystemOf<posixLike>(), "site.log", 0},   {pathSystemOf<posixLike>(), "a/b/site.log", 4},
      {pathSystemOf<posixLike>(), "/", 1},          {pathSystemOf<posixLike>(), "", 0},
      {pathSystemOf<posixLike>(), "C:a\\b", 0},     {pathSystemOf<driveLike>(), "a\\b/site.log", 4},
      {pathSystemOf<driveLike>(), "D:site.log", 2}, {pathSystemOf<driveLike>(), "D:\\x", 3},
      {pathSystemOf<driveLike>(), "D:", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(fileNameStartOn(c.system, c.path), c.start) << c.path;
}

TEST(PlatformPaths, OneFileByIdentityOrForFilesNotThereByFolderAndName) {
  struct Case {
    const PathSystem system;
    std::string first, second;
    bool same;
  };
  const Case cases[] = {
      {pathSystemOf<posixLike>(), "/x/new", "/x/new", true},  // one name, there or not
      {pathSystemOf<posixLike>(), "/d/a", "/d/link-to-a", true},
      {pathSystemOf<posixLike>(), "/d/a", "/e/a", false},
      {pathSystemOf<posixLike>(), "/d/a", "/d/sub/../a", false},  // only one of them is there
      {pathSystemOf<posixLike>(), "/d/new", "/d/sub/../new", true},
      {pathSystemOf<posixLike>(), "/d/new", "/d/sub/new", false},
      {pathSystemOf<posixLike>(), "/d/new", "/d/NEW", false},
      {pathSystemOf<posixLike>(), "/d/new", "/missing/../new", false},
      {pathSystemOf<driveLike>(), "C:\\d\\new", "C:/d/NEW", true},
      {pathSystemOf<driveLike>(), "C:\\d\\A", "C:\\d\\a", false},  // an existing file by identity
      {pathSystemOf<driveLike>(), "C:\\d\\new", "C:\\d\\old", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameFileOn(c.system, c.first, c.second), c.same) << c.first << " " << c.second;
    EXPECT_EQ(sameFileOn(c.system, c.second, c.first), c.same) << c.second << " " << c.first;
  }
}

}  // namespace
}  // namespace kapolex::platform
