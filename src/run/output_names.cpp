#include "run/output_names.hpp"

#include "common/platform.hpp"
#include "run/fixed_names.hpp"
#include "run/run_options.hpp"

namespace kapolex {

namespace {

constexpr std::string_view observationExtension = ".obs";
constexpr std::string_view compactRinexExtension = ".crx";
constexpr std::string_view temporaryExtension = ".part";

}  // namespace

std::string observationPathFor(std::string_view logPath, bool compactRinex, bool gzip) {
  const std::size_t nameStart = platform::fileNameStart(logPath);
  const std::size_t dot = logPath.find_last_of('.');
  // A dot that starts the file name marks a hidden file, not an extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  std::string path(hasExtension ? logPath.substr(0, dot) : logPath);
  path += compactRinex ? compactRinexExtension : observationExtension;
  if (gzip) path += gzipExtension;
  return path;
}

std::string folderOf(std::string_view path) {
  return std::string(path.substr(0, platform::fileNameStart(path)));
}

std::string pathInFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  // A folder that ends where a file name would start ("out/", "/", and on
  // Windows "C:") takes the name as it is.
  if (platform::fileNameStart(path) != path.size()) path += platform::pathSeparator;
  path += name;
  return path;
}

std::string temporaryPathFor(std::string_view folder, std::string_view logPath) {
  const std::string_view logName = logPath.substr(platform::fileNameStart(logPath));
  std::string name(logPath == standardStreamName ? commandName : logName);
  name += temporaryExtension;
  return pathInFolder(folder, name);
}

}  // namespace kapolex
