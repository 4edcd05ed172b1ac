#include "support/program_run.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kapolex::testing {

namespace fs = std::filesystem;

namespace {

constexpr auto runTimeLimit = std::chrono::minutes(5);

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

[[noreturn]] void execInChild(const fs::path& folder, const fs::path& base,
                              const std::string& program, const std::vector<std::string>& arguments,
                              bool withInput) {
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  if (withInput) {
    const int in = ::open((base / "stdin").c_str(), O_RDONLY);
    ::dup2(in, 0);
    ::close(in);
  } else {
    ::close(0);
  }
  const int out = ::open((base / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open((base / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(out, 1);
  ::dup2(err, 2);
  ::close(out);
  ::close(err);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "kapolex-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  // The program names its files by the working folder's real path.
  path_ = fs::canonical(pattern) / "work";
  fs::create_directory(path_);
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

ChildEnd runChild(const std::function<void()>& inChild,
                  const std::function<void(pid_t)>& whileRunning) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    inChild();
    ::_exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + runTimeLimit;
  pid_t waited = 0;
  while ((waited = ::waitpid(child, &status, WNOHANG)) == 0) {
    if (whileRunning) whileRunning(child);
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      waited = ::waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (waited != child) throw std::runtime_error("waitpid failed");
  ChildEnd end;
  if (WIFEXITED(status)) end.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  return end;
}

ProgramResult runIn(const ScratchFolder& folder, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::optional<std::string>& standardInput) {
  const fs::path base = folder.path().parent_path();
  if (standardInput) writeFile(base / "stdin", *standardInput);
  const ChildEnd end = runChild(
      [&] { execInChild(folder.path(), base, program, arguments, standardInput.has_value()); });
  ProgramResult result;
  result.exitStatus = end.exitStatus;
  result.signal = end.signal;
  result.out = readFile(base / "stdout").value_or("");
  result.err = readFile(base / "stderr").value_or("");
  result.observations = folder.read("z.obs");
  return result;
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
    const std::string name = fs::relative(entry.path(), folder.path()).string();
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
