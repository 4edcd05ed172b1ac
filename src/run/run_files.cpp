#include "run/run_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <utility>

#include "common/file_descriptor.hpp"
#include "common/run_stop.hpp"

namespace kapolex {

namespace {

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

FileDescriptor openLogFile(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) stopRun(openFailureDiagnostic(errno), logUnit, path);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) {
    stopRun(Diagnostic::openFailure, logUnit, path);
  }
  return file;
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

LogReader openLogReader(const std::string& name) {
  if (name == standardStreamName) {
    widenPipe(STDIN_FILENO);
    return LogReader(FileDescriptor(::dup(STDIN_FILENO)), std::string(consoleInputName));
  }
  const std::string path = fullPathName(name);
  return LogReader(openLogFile(path), path);
}

// Opens an output without cutting it: an existing file keeps its content
// until this run's first output reaches it, which cuts a regular file
// (other files, such as a terminal or a pipe, cannot be cut). Standard
// output is never cut: what the caller put in front of the stream is theirs.
OutputSink openOutput(const std::string& name, int unit) {
  if (name == standardStreamName) {
    return OutputSink::borrowing(STDOUT_FILENO, unit, std::string(consoleOutputName),
                                 fileOutputBufferSize);
  }
  const std::string path = fullPathName(name);
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!file) stopRun(openFailureDiagnostic(errno), unit, path);
  struct stat status {};
  const bool isRegularFile = ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode);
  return OutputSink(std::move(file), unit, path, fileOutputBufferSize, isRegularFile);
}

// The run's files with what they are for, in the order they are opened.
std::array<RunOptions::Output, 5> namedFiles(const RunOptions& options) {
  const std::array<RunOptions::Output, 4> outputs = options.outputs();
  return {{{&options.logPath, "", "the log"}, outputs[0], outputs[1], outputs[2], outputs[3]}};
}

}  // namespace

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

std::optional<std::string> clashingFiles(const RunOptions& options) {
  const auto files = namedFiles(options);
  for (std::size_t later = 1; later < files.size(); ++later) {
    const std::string& name = *files[later].path;
    if (name.empty() || name == standardStreamName) continue;
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      const std::string& other = *files[earlier].path;
      if (other.empty() || other == standardStreamName) continue;
      if (sameFile(fullPathName(name), fullPathName(other))) {
        return std::string(files[later].what) + " '" + name + "' is " +
               std::string(files[earlier].what) + " too; name another";
      }
    }
  }
  return std::nullopt;
}

Console consoleFor(const RunOptions& options) {
  const int outFd = options.writesStandardOutput() ? STDERR_FILENO : STDOUT_FILENO;
  return {OutputSink::borrowing(outFd, consoleOutputUnit, std::string(consoleOutputName),
                                consoleOutputBufferSize),
          OutputSink::borrowing(STDERR_FILENO, 0, "", consoleOutputBufferSize)};
}

QualityOutputs RunFiles::qualityOutputs() {
  return {qualityText ? &*qualityText : nullptr, qualityJson ? &*qualityJson : nullptr,
          trackingPlot ? &*trackingPlot : nullptr};
}

void openRunFiles(const RunOptions& options, RunFiles& files) {
  files.log.emplace(openLogReader(options.logPath));
  if (!options.observationPath.empty()) {
    files.observations.emplace(openOutput(options.observationPath, observationUnit),
                               options.header);
  }
  const std::pair<const std::string*, std::optional<OutputSink>*> reports[] = {
      {&options.qualityTextPath, &files.qualityText},
      {&options.qualityJsonPath, &files.qualityJson},
      {&options.trackingPlotPath, &files.trackingPlot}};
  int unit = qualityTextUnit;
  for (const auto& [name, sink] : reports) {
    if (!name->empty()) sink->emplace(openOutput(*name, unit));
    ++unit;
  }
}

}  // namespace kapolex
