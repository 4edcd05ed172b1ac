#include "robust_support.hpp"

#include <stdexcept>

namespace kapolex::testing {

namespace fs = std::filesystem;

std::string fileContent(const fs::path& path) {
  return readFile(path).value_or("");
}

LogBuilder keptEpochs(int count) {
  LogBuilder log;
  std::vector<ChannelRecord> channels(12);
  for (int k = 0; k < count; ++k) {
    for (int c = 0; c < 12; ++c) {
      const auto cycles = static_cast<std::uint32_t>(1000 * k + 7919 * c);
      const auto fraction = static_cast<std::uint32_t>(17 * c);
      channels[static_cast<std::size_t>(c)] = {static_cast<std::uint8_t>(c * 2), 180,
                                               100000 * c - 3 * k, carrierWord(cycles, fraction),
                                               0};
    }
    log.measurement(5.0 * k, channels);
  }
  return log;
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
