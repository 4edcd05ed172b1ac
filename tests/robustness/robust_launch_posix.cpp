// The launcher of the robustness tests on POSIX systems: streams closed or
// pointed at odd files, root given up, and the peak memory read from /proc.
#include "robust_support.hpp"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace kapolex::testing {

namespace fs = std::filesystem;

namespace {

constexpr uid_t nobody = 65534;

void redirect(int target, const fs::path& file, int flags, Stream kind) {
  switch (kind) {
    case Stream::closed:
      ::close(target);
      return;
    case Stream::directory:
      redirect(target, "/", O_RDONLY | O_DIRECTORY, Stream::file);
      return;
    case Stream::full:
      redirect(target, "/dev/full", O_WRONLY, Stream::file);
      return;
    case Stream::file:
      break;
  }
  const int fd = ::open(file.c_str(), flags, 0644);
  if (fd < 0) ::_exit(125);
  ::dup2(fd, target);
  ::close(fd);
}

bool giveUpRoot() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
}

// The program a launch as "nobody" runs. The build tree may sit in a folder
// only its owner can enter (a home folder, a private temporary folder), so
// root hands "nobody" a copy beside the scratch folder and opens that folder
// and the scratch folder to everyone.
fs::path programForNobody(const ScratchFolder& folder) {
  const fs::path base = folder.path().parent_path();
  const fs::path copy = base / "kapolex";
  if (!fs::exists(copy)) {
    fs::copy_file(KAPOLEX_BINARY, copy);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  }
  fs::permissions(base, fs::perms::all, fs::perm_options::add);
  fs::permissions(folder.path(), fs::perms::all, fs::perm_options::add);
  return copy;
}

[[noreturn]] void execKapolex(const ScratchFolder& folder, const LaunchOptions& options,
                              const fs::path& program) {
  const fs::path base = folder.path().parent_path();
  const Stream input = options.standardInput               ? Stream::file
                       : options.inputKind == Stream::file ? Stream::closed
                                                           : options.inputKind;
  redirect(0, base / "stdin", O_RDONLY, input);
  redirect(1, base / "stdout", O_WRONLY | O_CREAT | O_TRUNC, options.outputKind);
  redirect(2, base / "stderr", O_WRONLY | O_CREAT | O_TRUNC, options.errorKind);
  if (options.asUnprivileged && ::geteuid() == 0) {
    if (!giveUpRoot()) ::_exit(124);
  }
  if (::chdir(folder.path().c_str()) != 0) ::_exit(126);
  const char* argv[] = {program.c_str(), nullptr};
  ::execv(program.c_str(), const_cast<char* const*>(argv));
  ::_exit(127);
}

// The peak resident set of the running program's own memory, in KiB; 0
// before its exec and once it has exited.
long highWaterMark(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  bool isProgram = false;  // before its exec the child is a copy of this process
  while (std::getline(status, line)) {
    if (line.starts_with("Name:")) isProgram = line.ends_with("kapolex");
    if (isProgram && line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return 0;
}

}  // namespace

LaunchResult launchKapolex(const ScratchFolder& folder, const LaunchOptions& options) {
  const fs::path base = folder.path().parent_path();
  if (options.standardInput) {
    std::ofstream(base / "stdin", std::ios::binary) << *options.standardInput;
  }
  const fs::path program = options.asUnprivileged && ::geteuid() == 0 ? programForNobody(folder)
                                                                      : fs::path(KAPOLEX_BINARY);
  LaunchResult launched;
  const ChildEnd end = runChild([&] { execKapolex(folder, options, program); },
                                [&](pid_t child) {
                                  launched.peakKilobytes =
                                      std::max(launched.peakKilobytes, highWaterMark(child));
                                });
  ProgramResult& result = launched.result;
  result.exitStatus = end.exitStatus;
  result.signal = end.signal;
  result.out = fileContent(base / "stdout");
  result.err = fileContent(base / "stderr");
  result.observations = folder.read("z.obs");
  return launched;
}

std::optional<std::string> whyNotAsNobody(const ScratchFolder& folder) {
  if (::geteuid() != 0) return std::nullopt;
  const fs::path program = programForNobody(folder);
  const ChildEnd end = runChild([&] {
    if (!giveUpRoot()) ::_exit(1);
    if (::chdir(folder.path().c_str()) != 0) ::_exit(2);
    if (::access(program.c_str(), X_OK) != 0) ::_exit(3);
    ::_exit(0);
  });
  if (end.exitStatus < 0) return "the probe was lost";
  switch (end.exitStatus) {
    case 0:
      return std::nullopt;
    case 1:
      return "root may not become \"nobody\" here";
    case 2:
      return "\"nobody\" cannot enter " + folder.path().string();
    default:
      return "\"nobody\" cannot execute " + program.string();
  }
}

}  // namespace kapolex::testing
