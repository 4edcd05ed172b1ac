// The rules of path names that hold on every system, written once
// (platform.cpp) over the few answers each system gives
// (platform_posix.cpp, platform_windows.cpp): how a name is walked to a
// full path, where its file name starts, and when two names are one file.
// The rules take the answers as a value, so that tests can hand them
// another system's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kapolex::platform {

// An existing file or folder as the system numbers it: two paths lead to
// one file when their identities are equal.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What the rules ask of a system.
struct PathSystem {
  char separator;               // what the system writes between steps
  bool (*isSeparator)(char c);  // what it reads as one
  // The length of the root a name starts with ("/"; on Windows "C:\",
  // "C:", "\\server\share" or a lone separator); 0 for a relative name.
  std::size_t (*rootLength)(std::string_view name);
  // The folder a root leads to, written the system's way; empty when it
  // cannot be known.
  std::string (*rootFolder)(std::string_view root);
  // The working folder; empty when it cannot be known.
  std::string (*currentFolder)();
  // The identity of an existing file or folder; nothing for a path that
  // leads to none.
  std::optional<FileIdentity> (*identityOf)(const std::string& path);
  // Whether two file names are one, as the system compares names.
  bool (*sameName)(std::string_view first, std::string_view second);
};

// This system's answers.
const PathSystem& thisSystem();

// platform::absolutePath on a system.
std::string absolutePathOn(const PathSystem& system, std::string_view name);

// platform::fileNameStart on a system.
std::size_t fileNameStartOn(const PathSystem& system, std::string_view path);

// platform::sameFile on a system.
bool sameFileOn(const PathSystem& system, const std::string& first, const std::string& second);

}  // namespace kapolex::platform
