// The platform seam's rules that hold on every system: a path's steps
// walked and joined, where a file name starts, and when two names are one
// file, each composed of the answers of the system at hand; and the UTC
// clock, which the standard library reads alike everywhere.
#include "common/platform.hpp"

#include <chrono>

#include "common/platform_paths.hpp"

namespace kapolex::platform {

std::string absolutePathOn(const PathSystem& system, std::string_view name) {
  const std::size_t rootEnd = system.rootLength(name);
  std::string path =
      rootEnd > 0 ? system.rootFolder(name.substr(0, rootEnd)) : system.currentFolder();
  if (path.empty()) return std::string(name);
  // Empty and "." steps lead nowhere; ".." steps are kept, as they lead
  // elsewhere when the step before is a link.
  for (std::size_t start = rootEnd; start <= name.size();) {
    std::size_t end = start;
    while (end < name.size() && !system.isSeparator(name[end])) ++end;
    const std::string_view step = name.substr(start, end - start);
    if (!step.empty() && step != ".") {
      if (!system.isSeparator(path.back())) path += system.separator;
      path += step;
    }
    start = end + 1;
  }
  return path;
}

std::size_t fileNameStartOn(const PathSystem& system, std::string_view path) {
  for (std::size_t at = path.size(); at > 0; --at) {
    if (system.isSeparator(path[at - 1])) return at;
  }
  // Without a separator a name may still start with a root: "C:site.log".
  return system.rootLength(path);
}

bool sameFileOn(const PathSystem& system, const std::string& first, const std::string& second) {
  if (first == second) return true;
  const std::optional<FileIdentity> firstFile = system.identityOf(first);
  const std::optional<FileIdentity> secondFile = system.identityOf(second);
  if (firstFile || secondFile) return firstFile == secondFile;
  // Files not there yet: one name, as the system compares names, in one
  // and the same existing folder.
  const std::size_t firstName = fileNameStartOn(system, first);
  const std::size_t secondName = fileNameStartOn(system, second);
  if (!system.sameName(std::string_view(first).substr(firstName),
                       std::string_view(second).substr(secondName))) {
    return false;
  }
  const std::optional<FileIdentity> firstFolder = system.identityOf(first.substr(0, firstName));
  return firstFolder && firstFolder == system.identityOf(second.substr(0, secondName));
}

std::string absolutePath(std::string_view name) {
  return absolutePathOn(thisSystem(), name);
}

std::size_t fileNameStart(std::string_view path) {
  return fileNameStartOn(thisSystem(), path);
}

bool sameFile(const std::string& first, const std::string& second) {
  return sameFileOn(thisSystem(), first, second);
}

std::int64_t utcSeconds() {
  // The system clock counts from 1970-01-01 UTC without leap seconds on
  // every system since C++20.
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

}  // namespace kapolex::platform
