// The program launcher on POSIX systems: fork, redirect, exec and wait.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/program_run.hpp"

namespace kapolex::testing {

namespace fs = std::filesystem;

namespace {

constexpr auto runTimeLimit = std::chrono::minutes(5);

[[noreturn]] void execInChild(const fs::path& folder, const fs::path& base,
                              const std::string& program, const std::vector<std::string>& arguments,
                              bool withInput, GivenStreams given) {
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
  if (!given.output) ::close(1);
  if (!given.error) ::close(2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace

const char pathListSeparator = ':';
const char* const programSuffix = "";

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
                    const std::optional<std::string>& standardInput, GivenStreams given) {
  const fs::path base = folder.path().parent_path();
  if (standardInput) writeFile(base / "stdin", *standardInput);
  const ChildEnd end = runChild([&] {
    execInChild(folder.path(), base, program, arguments, standardInput.has_value(), given);
  });
  ProgramResult result;
  result.exitStatus = end.exitStatus;
  result.wholeExitStatus = end.exitStatus;
  result.signal = end.signal;
  result.out = readFile(base / "stdout").value_or("");
  result.err = readFile(base / "stderr").value_or("");
  result.observations = folder.read("z.obs");
  return result;
}

std::int64_t reportedExitStatus(std::int64_t status) {
  return status & 0xFF;
}

}  // namespace kapolex::testing
