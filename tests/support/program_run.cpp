#include "support/program_run.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace kapolex::testing {

namespace fs = std::filesystem;

std::optional<fs::path> onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path == nullptr ? "" : path);
  for (std::string folder; std::getline(folders, folder, pathListSeparator);) {
    const fs::path candidate = fs::path(folder) / (program + programSuffix);
    std::error_code ignored;
    if (!folder.empty() && fs::is_regular_file(candidate, ignored)) return candidate;
  }
  return std::nullopt;
}

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

ScratchFolder::ScratchFolder() {
  // A new folder under a random name: creating it fails if the name is taken.
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path base =
        fs::temp_directory_path() / ("kapolex-test-" + std::to_string(random() % 1000000000u));
    std::error_code taken;
    if (!fs::create_directory(base, taken)) continue;
    // The program names its files by the working folder's real path.
    path_ = fs::canonical(base) / "work";
    fs::create_directory(path_);
    return;
  }
  throw std::runtime_error("cannot make a scratch folder");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_.parent_path(), ignored);
}

void ScratchFolder::write(const std::string& name, const std::string& content) const {
  writeFile(path_ / name, content);
}

std::optional<std::string> ScratchFolder::read(const std::string& name) const {
  if (!fs::is_regular_file(path_ / name)) return std::nullopt;
  return readFile(path_ / name);
}

FolderRun runWithFiles(const std::string& program, const std::vector<std::string>& arguments,
                       const FolderFiles& files, const std::optional<std::string>& standardInput) {
  ScratchFolder folder;
  for (const auto& [name, content] : files) {
    if (name.ends_with('/')) {
      fs::create_directories(folder.path() / name);
    } else {
      folder.write(name, content);
    }
  }
  FolderRun run{runIn(folder, program, arguments, standardInput), {}, folder.path().string()};
  for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
    if (!entry.is_regular_file()) continue;
    // Forward slashes on every system: the names tests expect.
    const std::string name = fs::relative(entry.path(), folder.path()).generic_string();
    run.files[name] = folder.read(name).value_or("");
  }
  return run;
}

std::optional<std::string> simulatedLog(const std::vector<std::string>& zlogsimArguments) {
  const ScratchFolder folder;
  std::vector<std::string> arguments = zlogsimArguments;
  arguments.insert(arguments.end(), {"-o", "z.log"});
  const ProgramResult made = runIn(folder, ZLOGSIM_BINARY, arguments, std::nullopt);
  if (made.exitStatus != 0) return std::nullopt;
  return folder.read("z.log");
}

ProgramResult runKapolex(const std::optional<std::string>& log, const std::string& standardInput,
                         const std::optional<std::string>& existingObservations) {
  ScratchFolder folder;
  if (log) folder.write("z.log", *log);
  if (existingObservations) folder.write("z.obs", *existingObservations);
  return runIn(folder, KAPOLEX_BINARY, {}, standardInput);
}

std::string diagnosticLine(int number, const std::string& text, int unit, const std::string& file) {
  return "kapolex: severe (" + std::to_string(number) + "): " + text + ", unit " +
         std::to_string(unit) + ", file " + file + "\n";
}

std::vector<std::string> splitCrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace kapolex::testing
