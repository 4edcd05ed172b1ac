#include "run/run_driver.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>

#include "common/file_descriptor.hpp"
#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "rinex/observation_writer.hpp"
#include "run/console_input.hpp"
#include "run/conversion.hpp"
#include "run/fixed_names.hpp"

namespace kapolex {

namespace {

// A closed standard stream would hand its descriptor to the first file
// opened, and diagnostics could land in the observation file. Closed ones
// are therefore pointed at the null device before anything is opened.
void reserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int reserved = ::open("/dev/null", O_RDWR);
      if (reserved >= 0 && reserved != fd) ::close(reserved);
    }
  }
}

// The full path name to which a name in the working directory resolves.
std::string fullPathName(std::string_view name) {
  char directory[PATH_MAX];
  if (::getcwd(directory, sizeof directory) == nullptr) return std::string(name);
  std::string path(directory);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

Diagnostic openFailureDiagnostic(int error) {
  if (error == ENOENT) return Diagnostic::fileNotFound;
  if (error == EACCES || error == EPERM || error == EROFS) return Diagnostic::permissionDenied;
  return Diagnostic::openFailure;
}

FileDescriptor openLog(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) stopRun(openFailureDiagnostic(errno), logUnit, path);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) {
    stopRun(Diagnostic::openFailure, logUnit, path);
  }
  return file;
}

// Opens the observation file without cutting it: an existing file keeps its
// content until this run's first output reaches it, which cuts a regular
// file (other files, such as a terminal or a pipe, cannot be cut).
OutputSink openObservations(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!file) stopRun(openFailureDiagnostic(errno), observationUnit, path);
  struct stat status {};
  const bool isRegularFile = ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode);
  return OutputSink(std::move(file), observationUnit, path, fileOutputBufferSize, isRegularFile);
}

}  // namespace

int runProgram() {
  reserveStandardDescriptors();
  // A console that went away must give a diagnostic, not a silent signal.
  (void)::signal(SIGPIPE, SIG_IGN);
  OutputSink consoleOut = OutputSink::borrowing(
      STDOUT_FILENO, consoleOutputUnit, std::string(consoleOutputName), consoleOutputBufferSize);
  OutputSink errorOut = OutputSink::borrowing(STDERR_FILENO, 0, "", consoleOutputBufferSize);
  const std::string logPath = fullPathName(logFileName);
  const std::string observationPath = fullPathName(observationFileName);
  std::optional<LogReader> log;
  std::optional<ObservationWriter> observations;
  try {
    log.emplace(openLog(logPath), logPath);
    observations.emplace(openObservations(observationPath));
  } catch (const RunStop& stop) {
    return reportStop(stop, nullptr, consoleOut, errorOut);
  }
  ConsoleInput consoleIn = ConsoleInput::fromDescriptor(STDIN_FILENO);
  RunStreams streams{*log, *observations, consoleIn, consoleOut, errorOut, systemClock()};
  int status = runConversion(streams);
  if (!observations->close() && status == 0) {
    status = reportStop(RunStop(Diagnostic::writeError, observationUnit, observationPath), nullptr,
                        consoleOut, errorOut);
  }
  return status;
}

}  // namespace kapolex
