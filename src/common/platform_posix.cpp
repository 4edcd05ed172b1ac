// The platform seam on Linux and other POSIX systems: descriptors, stat and
// the C library's local time.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#include <sys/signalfd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <ctime>

#include "common/platform.hpp"
#include "common/platform_paths.hpp"

namespace kapolex::platform {

namespace {

int descriptorOf(NativeHandle handle) {
  return static_cast<int>(handle);
}

OpenFailure openFailureOf(int error) {
  if (error == ENOENT) return OpenFailure::notFound;
  if (error == EACCES || error == EPERM || error == EROFS) return OpenFailure::permissionDenied;
  return OpenFailure::other;
}

OpenedFile opened(int fd, bool refuseFolder) {
  if (fd < 0) return {invalidHandle, openFailureOf(errno), false};
  struct stat status {};
  const bool known = ::fstat(fd, &status) == 0;
  if (refuseFolder && (!known || S_ISDIR(status.st_mode))) {
    ::close(fd);
    return {invalidHandle, OpenFailure::other, false};
  }
  return {fd, OpenFailure::none, known && S_ISREG(status.st_mode)};
}

}  // namespace

OpenedFile openForReading(const std::string& path) {
  return opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC), true);
}

OpenedFile openForWriting(const std::string& path) {
  // A folder cannot be opened for writing: EISDIR, an OpenFailure::other.
  return opened(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666), false);
}

bool closeHandle(NativeHandle handle) {
  // The descriptor is gone after close whatever it reports, even on EINTR.
  return ::close(descriptorOf(handle)) == 0;
}

std::ptrdiff_t readSome(NativeHandle handle, void* bytes, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(descriptorOf(handle), bytes, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool writeAll(NativeHandle handle, const void* bytes, std::size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t done = ::write(descriptorOf(handle), next, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}

bool writeAllAt(NativeHandle handle, const void* bytes, std::size_t count, std::uint64_t offset) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t done = ::pwrite(descriptorOf(handle), next, count, static_cast<off_t>(offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    next += done;
    count -= static_cast<std::size_t>(done);
    offset += static_cast<std::uint64_t>(done);
  }
  return true;
}

bool truncate(NativeHandle handle, std::uint64_t size) {
  return ::ftruncate(descriptorOf(handle), static_cast<off_t>(size)) == 0;
}

NativeHandle standardHandle(StandardStream stream) {
  switch (stream) {
    case StandardStream::input:
      return STDIN_FILENO;
    case StandardStream::output:
      return STDOUT_FILENO;
    case StandardStream::error:
      return STDERR_FILENO;
  }
  return invalidHandle;
}

NativeHandle ownStandardInput(std::size_t pipeCapacity) {
  // A pipe holds 64 KiB unless asked for more.
#ifdef F_SETPIPE_SZ
  struct stat status {};
  if (::fstat(STDIN_FILENO, &status) == 0 && S_ISFIFO(status.st_mode)) {
    (void)::fcntl(STDIN_FILENO, F_SETPIPE_SZ, static_cast<int>(pipeCapacity));
  }
#else
  (void)pipeCapacity;
#endif
  return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
}

LocalDateTime localTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

const char pathSeparator = '/';

bool isPathSeparator(char c) {
  return c == '/';
}

namespace {

std::size_t rootLength(std::string_view name) {
  return name.starts_with('/') ? 1 : 0;
}

std::string rootFolder(std::string_view /*root*/) {
  return "/";
}

std::string currentFolder() {
  char folder[PATH_MAX];
  return ::getcwd(folder, sizeof folder) != nullptr ? std::string(folder) : std::string();
}

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

bool sameName(std::string_view first, std::string_view second) {
  return first == second;
}

}  // namespace

const PathSystem& thisSystem() {
  static constexpr PathSystem posix{pathSeparator, isPathSeparator, rootLength, rootFolder,
                                    currentFolder, identityOf,      sameName};
  return posix;
}

PathKind pathKind(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::missing : PathKind::other;
  }
  return S_ISDIR(status.st_mode) ? PathKind::folder : PathKind::other;
}

bool renameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

FileState stateOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::uint64_t>(status.st_size)};
}

constexpr std::array<int, 3> stopSignals{SIGINT, SIGTERM, SIGHUP};

sigset_t stopSignalSet() {
  sigset_t set;
  ::sigemptyset(&set);
  for (const int stop : stopSignals) ::sigaddset(&set, stop);
  return set;
}

// A stop request held while the stop signals are blocked.
bool stopHeld() {
  sigset_t held;
  if (::sigpending(&held) != 0) return false;
  return std::any_of(stopSignals.begin(), stopSignals.end(),
                     [&](int stop) { return ::sigismember(&held, stop) == 1; });
}

// Without a change notification a regular file is looked at this often;
// with one, only when it changes.
constexpr int pollingMilliseconds = 250;

}  // namespace

std::optional<FileState> fileState(NativeHandle handle) {
  struct stat status {};
  if (::fstat(descriptorOf(handle), &status) != 0) return std::nullopt;
  return stateOf(status);
}

std::optional<FileState> fileStateAt(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return stateOf(status);
}

bool rewind(NativeHandle handle) {
  return ::lseek(descriptorOf(handle), 0, SEEK_SET) == 0;
}

LogWatch::LogWatch(const std::string& path) : path_(path) {
  // Blocked, a stop signal is held until the run looks for it; the wait
  // wakes for it through a signal queue where the system has one.
  const sigset_t stops = stopSignalSet();
  ::sigprocmask(SIG_BLOCK, &stops, nullptr);
#ifdef __linux__
  stops_ = ::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK);
  if (path_.empty()) return;
  changes_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (changes_ < 0) return;
  // The folder tells of a new file under the name; the file itself of its
  // growth and truncation.
  const std::string folder = path_.substr(0, fileNameStart(path_));
  (void)::inotify_add_watch(descriptorOf(changes_), folder.empty() ? "." : folder.c_str(),
                            IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE);
  rewatch();
#endif
}

LogWatch::~LogWatch() {
  if (changes_ >= 0) ::close(descriptorOf(changes_));
  if (stops_ >= 0) ::close(descriptorOf(stops_));
  // A held request is dropped: the run has finished what it asked for.
  std::array<struct sigaction, stopSignals.size()> previous{};
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (std::size_t i = 0; i < stopSignals.size(); ++i) {
    ::sigaction(stopSignals[i], &ignore, &previous[i]);
  }
  const sigset_t stops = stopSignalSet();
  ::sigprocmask(SIG_UNBLOCK, &stops, nullptr);
  for (std::size_t i = 0; i < stopSignals.size(); ++i) {
    ::sigaction(stopSignals[i], &previous[i], nullptr);
  }
}

void LogWatch::rewatch() {
#ifdef __linux__
  if (changes_ < 0) return;
  if (fileWatch_ >= 0) {
    (void)::inotify_rm_watch(descriptorOf(changes_), static_cast<int>(fileWatch_));
  }
  fileWatch_ = ::inotify_add_watch(descriptorOf(changes_), path_.c_str(),
                                   IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF);
#endif
}

LogWatch::Wake LogWatch::wait(NativeHandle pipe, int timeoutMilliseconds) {
  if (stopHeld()) return Wake::stop;
  std::array<pollfd, 3> waited{};
  nfds_t count = 0;
  for (const NativeHandle handle : {pipe, changes_, stops_}) {
    if (handle >= 0) waited[count++] = {descriptorOf(handle), POLLIN, 0};
  }
  // A file without a change notification, or stops without a queue, are
  // looked at again after a short sleep.
  const bool polling = (pipe < 0 && changes_ < 0) || stops_ < 0;
  int limit = timeoutMilliseconds;
  if (polling && (limit < 0 || limit > pollingMilliseconds)) limit = pollingMilliseconds;
  const int ready = ::poll(waited.data(), count, limit);
  if (stopHeld()) return Wake::stop;
  if (changes_ >= 0) {
    // The events only wake the wait: the caller looks at the file itself.
    std::array<char, 4096> events{};
    while (::read(descriptorOf(changes_), events.data(), events.size()) > 0) {
    }
  }
  if (ready > 0 || (ready == 0 && limit != timeoutMilliseconds)) return Wake::change;
  return Wake::timeout;
}

std::vector<std::string> startProcess(int argc, char** argv) {
  // A closed standard stream would hand its descriptor to the first file
  // opened, and diagnostics could land in the observation file.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int reserved = ::open("/dev/null", O_RDWR);
      if (reserved >= 0 && reserved != fd) ::close(reserved);
    }
  }
  (void)std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace kapolex::platform
