#include "robust_support.hpp"

#include <stdexcept>

namespace kapolex::testing {

namespace fs = std::filesystem;

std::string fileContent(const fs::path& path) {
  return readFile(path).value_or("");
}

std::vector<std::uint8_t> synthesizedLog(const std::vector<std::string>& options) {
  ScratchFolder folder;
  const ProgramResult made = runIn(folder, ZLOGSIM_BINARY, options, std::nullopt);
  const std::optional<std::string> log = folder.read("z.log");
  if (made.exitStatus != 0 || !log) throw std::runtime_error("zlogsim failed: " + made.err);
  return {log->begin(), log->end()};
}

std::vector<std::string> linesWithoutRunDate(const std::string& observations) {
  std::vector<std::string> lines = splitCrLfLines(observations);
  if (lines.size() >= 2) lines[1].clear();
  return lines;
}

}  // namespace kapolex::testing
