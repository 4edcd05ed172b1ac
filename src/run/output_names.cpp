#include "run/output_names.hpp"

namespace kapolex {

namespace {

constexpr std::string_view observationExtension = ".obs";

}  // namespace

std::string observationPathFor(std::string_view logPath) {
  const std::size_t nameStart = logPath.find_last_of('/') + 1;  // npos + 1 is 0
  const std::size_t dot = logPath.find_last_of('.');
  // A dot that starts the file name marks a hidden file, not an extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  std::string path(hasExtension ? logPath.substr(0, dot) : logPath);
  path += observationExtension;
  return path;
}

}  // namespace kapolex
