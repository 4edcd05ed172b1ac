#include "run/run_driver.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <string>

#include "common/file_descriptor.hpp"
#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "rinex/observation_writer.hpp"
#include "run/command_line.hpp"
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

// The full path name to which a name resolves in the working directory.
// Steps "." and empty steps are left out, as they change nothing; ".." is
// kept, as it leads elsewhere when the step before it is a link.
std::string fullPathName(std::string_view name) {
  std::string path;
  if (!name.starts_with('/')) {
    char directory[PATH_MAX];
    if (::getcwd(directory, sizeof directory) == nullptr) return std::string(name);
    path = directory;
  }
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view step = name.substr(start, end - start);
    if (!step.empty() && step != ".") {
      if (path.empty() || path.back() != '/') path += '/';
      path += step;
    }
    start = end + 1;
  }
  return path.empty() ? std::string("/") : path;
}

// Whether two full path names lead to the same file: the same name, or the
// same existing file under two names.
bool sameFile(const std::string& first, const std::string& second) {
  if (first == second) return true;
  struct stat a {};
  struct stat b {};
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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

// A pipe holds 64 KiB unless asked for more; a log streamed through one is
// read in far fewer pieces with room for a block.
void widenPipe(int fd) {
#ifdef F_SETPIPE_SZ
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
    (void)::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(logBlockSize));
  }
#else
  (void)fd;
#endif
}

// The console streams of a run: prompt and summary go to standard output,
// unless the observation file does.
struct Console {
  OutputSink out;
  OutputSink errors;
};

Console consoleFor(const RunOptions& options) {
  const int outFd = options.observationPath == standardStreamName ? STDERR_FILENO : STDOUT_FILENO;
  return {OutputSink::borrowing(outFd, consoleOutputUnit, std::string(consoleOutputName),
                                consoleOutputBufferSize),
          OutputSink::borrowing(STDERR_FILENO, 0, "", consoleOutputBufferSize)};
}

LogReader openLogReader(const RunOptions& options) {
  if (options.logPath == standardStreamName) {
    widenPipe(STDIN_FILENO);
    return LogReader(FileDescriptor(::dup(STDIN_FILENO)), std::string(consoleInputName));
  }
  const std::string path = fullPathName(options.logPath);
  return LogReader(openLog(path), path);
}

ObservationWriter openObservationWriter(const RunOptions& options) {
  if (options.observationPath == standardStreamName) {
    // Never cut: what the caller put in front of the stream is theirs.
    return ObservationWriter(
        OutputSink::borrowing(STDOUT_FILENO, observationUnit, std::string(consoleOutputName),
                              fileOutputBufferSize),
        options.header);
  }
  return ObservationWriter(openObservations(fullPathName(options.observationPath)), options.header);
}

// A usage error: one line saying what is wrong, one pointing at the help.
int reportUsageError(const std::string& error) {
  OutputSink errors = OutputSink::borrowing(STDERR_FILENO, 0, "", consoleOutputBufferSize);
  errors.write(commandName);
  errors.write(": ");
  errors.write(error);
  errors.write("\nTry '");
  errors.write(commandName);
  errors.write(" --help'.\n");
  errors.flushQuietly();
  return usageErrorStatus;
}

int printText(const std::string& text) {
  OutputSink out = OutputSink::borrowing(STDOUT_FILENO, consoleOutputUnit,
                                         std::string(consoleOutputName), consoleOutputBufferSize);
  out.write(text);
  return out.flushQuietly()
             ? 0
             : RunStop(Diagnostic::writeError, consoleOutputUnit, consoleOutputName).exitStatus();
}

// The files named by the options, unless they are one and the same.
std::optional<std::string> clashingFiles(const RunOptions& options) {
  if (options.logPath == standardStreamName || options.observationPath == standardStreamName) {
    return std::nullopt;
  }
  if (!sameFile(fullPathName(options.logPath), fullPathName(options.observationPath))) {
    return std::nullopt;
  }
  return "the observation file '" + options.observationPath +
         "' is the log itself; name another with '--output'";
}

int convertFiles(const RunOptions& options) {
  Console console = consoleFor(options);
  std::optional<LogReader> log;
  std::optional<ObservationWriter> observations;
  try {
    log.emplace(openLogReader(options));
    observations.emplace(openObservationWriter(options));
  } catch (const RunStop& stop) {
    return reportStop(stop, nullptr, console.out, console.errors);
  }
  ConsoleInput consoleIn = ConsoleInput::fromDescriptor(STDIN_FILENO);
  RunStreams streams{*log, *observations, consoleIn, console.out, console.errors, systemClock()};
  const ConversionSettings settings{options.week, options.header.intervalSeconds, !options.quiet};
  int status = runConversion(streams, settings);
  if (!observations->close() && status == 0) {
    status = reportStop(RunStop(Diagnostic::writeError, observations->unit(), observations->path()),
                        nullptr, console.out, console.errors);
  }
  return status;
}

}  // namespace

int runProgram(std::span<const char* const> arguments) {
  reserveStandardDescriptors();
  // A console that went away must give a diagnostic, not a silent signal.
  (void)::signal(SIGPIPE, SIG_IGN);
  const CommandLine commandLine = parseCommandLine(arguments);
  switch (commandLine.action) {
    case CommandLine::Action::usageError:
      return reportUsageError(commandLine.error);
    case CommandLine::Action::help:
      return printText(usageText());
    case CommandLine::Action::version:
      return printText(versionLines());
    case CommandLine::Action::run:
      break;
  }
  if (const std::optional<std::string> clash = clashingFiles(commandLine.options)) {
    return reportUsageError(*clash);
  }
  return convertFiles(commandLine.options);
}

}  // namespace kapolex
