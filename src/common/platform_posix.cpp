// The platform seam on Linux and other POSIX systems: descriptors, stat and
// the C library's local time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
