#include "run/run_driver.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>

#include "common/conversion_state.hpp"
#include "common/run_stop.hpp"
#include "measure/rollover.hpp"
#include "rinex/header.hpp"
#include "run/fixed_names.hpp"
#include "run/framing.hpp"
#include "run/summary.hpp"
#include "run/week_dialogue.hpp"

namespace kapolex {

namespace {

// Writes the stop's line, then makes sure every line already produced reaches
// the observation file. If even that fails, the lost lines are reported too
// and that failure's status is returned.
int reportStop(const RunStop& stop, OutputSink* observations, OutputSink& consoleOut,
               OutputSink& errorOut) {
  flushOutputQuietly(consoleOut);
  writeOutput(errorOut, stop.line());
  writeOutput(errorOut, "\n");
  int status = stop.exitStatus();
  if (observations != nullptr && !flushOutputQuietly(*observations)) {
    const RunStop lost(Diagnostic::writeError, observations->unit, observations->path);
    writeOutput(errorOut, lost.line());
    writeOutput(errorOut, "\n");
    status = lost.exitStatus();
  }
  flushOutputQuietly(errorOut);
  return status;
}

void convert(RunStreams& streams) {
  ConversionState state;
  state.week = askWeek(streams.consoleIn, streams.consoleOut);
  state.previousReceiveTime = 0.0;
  CROINI(state);
  RINHDR(streams.observations, versionText, state.headerPending, streams.clock);
  state.messageCounts.fill(0);
  frameMessages(streams.log, streams.observations, state);
  // A failed write must be reported before anything that looks like success.
  flushOutput(streams.observations);
  writeSummary(streams.consoleOut, state.messageCounts);
  flushOutput(streams.consoleOut);
}

}  // namespace

int runConversion(RunStreams& streams) {
  try {
    convert(streams);
    return 0;
  } catch (const RunStop& stop) {
    return reportStop(stop, &streams.observations, streams.consoleOut, streams.errorOut);
  }
}

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

int openLog(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) stopRun(openFailureDiagnostic(errno), logUnit, path);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    stopRun(Diagnostic::openFailure, logUnit, path);
  }
  return fd;
}

// Opens the observation file without cutting it: an existing file keeps its
// content until this run's first output reaches it.
int openObservations(const std::string& path, bool& isRegularFile) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) stopRun(openFailureDiagnostic(errno), observationUnit, path);
  struct stat status {};
  isRegularFile = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  return fd;
}

}  // namespace

int runProgram() {
  reserveStandardDescriptors();
  // A console that went away must give a diagnostic, not a silent signal.
  (void)::signal(SIGPIPE, SIG_IGN);
  OutputSink consoleOut =
      sinkForFile(STDOUT_FILENO, consoleOutputUnit, std::string(consoleOutputName),
                  consoleOutputBufferSize, false);
  OutputSink errorOut = sinkForFile(STDERR_FILENO, 0, "", consoleOutputBufferSize, false);
  const std::string logPath = fullPathName(logFileName);
  const std::string observationPath = fullPathName(observationFileName);
  int logFd = -1;
  int observationFd = -1;
  bool observationIsRegular = false;
  try {
    logFd = openLog(logPath);
    observationFd = openObservations(observationPath, observationIsRegular);
  } catch (const RunStop& stop) {
    if (logFd >= 0) ::close(logFd);
    return reportStop(stop, nullptr, consoleOut, errorOut);
  }
  LogReader log = logFromFile(logFd, logPath);
  OutputSink observations = sinkForFile(observationFd, observationUnit, observationPath,
                                        fileOutputBufferSize, observationIsRegular);
  ConsoleInput consoleIn = consoleFromFd(STDIN_FILENO);
  RunStreams streams{log, observations, consoleIn, consoleOut, errorOut, systemClock()};
  int status = runConversion(streams);
  ::close(logFd);
  if (::close(observationFd) != 0 && status == 0) {
    status = reportStop(RunStop(Diagnostic::writeError, observationUnit, observationPath), nullptr,
                        consoleOut, errorOut);
  }
  return status;
}

}  // namespace kapolex
