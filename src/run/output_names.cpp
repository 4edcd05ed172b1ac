#include "run/output_names.hpp"

#include <algorithm>

#include "common/platform.hpp"

namespace kapolex {

namespace {

constexpr std::string_view observationExtension = ".obs";

}  // namespace

std::string observationPathFor(std::string_view logPath) {
  const auto separator =
      std::find_if(logPath.rbegin(), logPath.rend(), platform::isPathSeparator).base();
  const auto nameStart = static_cast<std::size_t>(separator - logPath.begin());
  const std::size_t dot = logPath.find_last_of('.');
  // A dot that starts the file name marks a hidden file, not an extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  std::string path(hasExtension ? logPath.substr(0, dot) : logPath);
  path += observationExtension;
  return path;
}

}  // namespace kapolex
