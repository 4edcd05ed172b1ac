#include "run/run_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

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

// A file name, not standard input or output and not an output left out.
bool namesFile(const std::string& name) {
  return !name.empty() && name != standardStreamName;
}

// How usage errors name an output: by its option, or by what it is.
std::string messageName(const RunOutput& output) {
  if (output.option.empty()) return std::string(output.what);
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about a literal
  // added to a temporary string here, once optimised.
  std::string name = "'";
  name += output.option;
  name += '\'';
  return name;
}

std::string clashOf(const RunOutput& output, const std::string& name, std::string_view other) {
  return std::string(output.what) + " '" + name + "' is " + std::string(other) +
         " too; name another";
}

void place(std::optional<ObservationWriter>& slot, OutputSink sink, const HeaderFields& header) {
  slot.emplace(std::move(sink), header);
}

void place(std::optional<OutputSink>& slot, OutputSink sink, const HeaderFields& /*header*/) {
  slot.emplace(std::move(sink));
}

bool holdsObservations(const RunOutput& output) {
  return std::holds_alternative<std::optional<ObservationWriter> RunFiles::*>(output.slot);
}

// The full paths of the files that an observation file must never be: the
// log and the quality reports.
std::vector<std::string> filesNotToOverwrite(const RunOptions& options) {
  std::vector<std::string> paths;
  if (namesFile(options.logPath)) paths.push_back(fullPathName(options.logPath));
  for (const RunOutput& output : runOutputs) {
    const std::string& name = options.*output.path;
    if (!holdsObservations(output) && namesFile(name)) paths.push_back(fullPathName(name));
  }
  return paths;
}

bool isAnyOf(const std::string& path, const std::vector<std::string>& others) {
  return std::any_of(others.begin(), others.end(),
                     [&](const std::string& other) { return sameFile(path, other); });
}

// The folder of files named by their epochs must be there before the run
// starts, rather than be found missing at the first epoch.
void checkFolder(const std::string& folder) {
  const std::string path = fullPathName(folder.empty() ? "." : folder);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    stopRun(Diagnostic::fileNotFound, observationUnit, path);
  }
  if (status.type() != std::filesystem::file_type::directory) {
    stopRun(Diagnostic::openFailure, observationUnit, path);
  }
}

// Named files go to the disk like --output's file; one that would be the log
// or a quality report is refused at its opening or renaming, as its name is
// known only then.
NamedFileAccess namedFileAccess(const RunOptions& options) {
  const std::vector<std::string> others = filesNotToOverwrite(options);
  return {[others](const std::string& name) {
            const std::string path = fullPathName(name);
            if (isAnyOf(path, others)) stopRun(Diagnostic::openFailure, observationUnit, path);
            return openOutput(name, observationUnit);
          },
          [others](const std::string& from, const std::string& to) {
            const std::string path = fullPathName(to);
            std::error_code error;
            if (isAnyOf(path, others)) return false;
            std::filesystem::rename(fullPathName(from), path, error);
            return !error;
          }};
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

bool writesStandardOutput(const RunOptions& options) {
  return std::any_of(runOutputs.begin(), runOutputs.end(), [&](const RunOutput& output) {
    return options.*output.path == standardStreamName;
  });
}

std::optional<std::string> standardOutputClash(const RunOptions& options) {
  const RunOutput* first = nullptr;
  for (const RunOutput& output : runOutputs) {
    if (options.*output.path != standardStreamName) continue;
    if (first != nullptr) {
      return messageName(*first) + " and " + messageName(output) +
             " cannot both go to standard output";
    }
    first = &output;
  }
  return std::nullopt;
}

std::optional<std::string> clashingFiles(const RunOptions& options) {
  for (auto later = runOutputs.begin(); later != runOutputs.end(); ++later) {
    const std::string& name = options.*later->path;
    if (!namesFile(name)) continue;
    const std::string path = fullPathName(name);
    if (namesFile(options.logPath) && sameFile(path, fullPathName(options.logPath))) {
      return clashOf(*later, name, "the log");
    }
    for (auto earlier = runOutputs.begin(); earlier != later; ++earlier) {
      const std::string& other = options.*earlier->path;
      if (namesFile(other) && sameFile(path, fullPathName(other))) {
        return clashOf(*later, name, earlier->what);
      }
    }
  }
  if (options.naming && !options.naming->split) {
    const std::string temporary = fullPathName(options.naming->temporaryPath);
    const auto isTemporary = [&](const std::string& name) {
      return namesFile(name) && sameFile(temporary, fullPathName(name));
    };
    const std::string_view where =
        "' is where the observation file is written until it takes its name; name another";
    if (isTemporary(options.logPath)) return "the log '" + options.logPath + std::string(where);
    for (const RunOutput& output : runOutputs) {
      const std::string& name = options.*output.path;
      if (isTemporary(name)) return std::string(output.what) + " '" + name + std::string(where);
    }
  }
  return std::nullopt;
}

Console consoleFor(const RunOptions& options) {
  const int outFd = writesStandardOutput(options) ? STDERR_FILENO : STDOUT_FILENO;
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
  for (const RunOutput& output : runOutputs) {
    const std::string& name = options.*output.path;
    if (name.empty()) continue;
    std::visit(
        [&](auto slot) { place(files.*slot, openOutput(name, output.unit), options.header); },
        output.slot);
  }
  if (options.naming) {
    checkFolder(options.naming->folder);
    files.observations.emplace(options.header);
    files.namedFiles.emplace(*options.naming, options.header, namedFileAccess(options));
  }
}

std::optional<RunStop> closeRunFiles(RunFiles& files) {
  std::optional<RunStop> failure;
  const auto close = [&](const RunOutput& output) {
    std::visit(
        [&](auto slot) {
          auto& file = files.*slot;
          if (file && !file->close() && !failure) {
            failure.emplace(Diagnostic::writeError, file->unit(), file->path());
          }
        },
        output.slot);
  };
  // The reports close before the observation file. Only the first failure
  // is reported, and this order keeps which one that is.
  for (const RunOutput& output : runOutputs) {
    if (!holdsObservations(output)) close(output);
  }
  if (files.namedFiles && files.observations) {
    std::optional<RunStop> named = files.namedFiles->close(*files.observations);
    if (named && !failure) failure = std::move(named);
    return failure;
  }
  for (const RunOutput& output : runOutputs) {
    if (holdsObservations(output)) close(output);
  }
  return failure;
}

}  // namespace kapolex
