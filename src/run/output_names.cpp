#include "run/output_names.hpp"

#include <algorithm>

#include "common/platform.hpp"
#include "run/fixed_names.hpp"
#include "run/run_options.hpp"

namespace kapolex {

namespace {

constexpr std::string_view observationExtension = ".obs";
constexpr std::string_view temporaryExtension = ".part";

// Where the file name starts in a path: after its last separator.
std::size_t nameStartOf(std::string_view path) {
  const auto separator = std::find_if(path.rbegin(), path.rend(), platform::isPathSeparator).base();
  return static_cast<std::size_t>(separator - path.begin());
}

}  // namespace

std::string observationPathFor(std::string_view logPath) {
  const std::size_t nameStart = nameStartOf(logPath);
  const std::size_t dot = logPath.find_last_of('.');
  // A dot that starts the file name marks a hidden file, not an extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  std::string path(hasExtension ? logPath.substr(0, dot) : logPath);
  path += observationExtension;
  return path;
}

std::string folderOf(std::string_view path) {
  return std::string(path.substr(0, nameStartOf(path)));
}

std::string pathInFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !platform::isPathSeparator(path.back())) path += platform::pathSeparator;
  path += name;
  return path;
}

std::string temporaryPathFor(std::string_view folder, std::string_view logPath) {
  const std::string_view logName = logPath.substr(nameStartOf(logPath));
  std::string name(logPath == standardStreamName ? commandName : logName);
  name += temporaryExtension;
  return pathInFolder(folder, name);
}

}  // namespace kapolex
