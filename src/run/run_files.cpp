#include "run/run_files.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/file_handle.hpp"
#include "common/gzip_encoder.hpp"
#include "common/log_reader.hpp"
#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "common/utc_clock.hpp"
#include "run/build_version.hpp"
#include "run/fixed_names.hpp"
#include "run/summary.hpp"

namespace kapolex {

namespace {

Diagnostic openFailureDiagnostic(platform::OpenFailure failure) {
  switch (failure) {
    case platform::OpenFailure::notFound:
      return Diagnostic::fileNotFound;
    case platform::OpenFailure::permissionDenied:
      return Diagnostic::permissionDenied;
    case platform::OpenFailure::none:
    case platform::OpenFailure::other:
      break;
  }
  return Diagnostic::openFailure;
}

LogFile openLog(const std::string& name) {
  if (name == standardStreamName) {
    // A handle that could not be had fails at the first read.
    return {FileHandle(platform::ownStandardInput(logBlockSize)), std::string(consoleInputName)};
  }
  const std::string path = fullPathName(name);
  const platform::OpenedFile file = platform::openForReading(path);
  if (file.failure != platform::OpenFailure::none) {
    stopRun(openFailureDiagnostic(file.failure), logUnit, path);
  }
  return {FileHandle(file.handle), path, file.isRegularFile};
}

// Opens an output without cutting it: an existing file keeps its content
// until this run's first output reaches it, which cuts a regular file
// (other files, such as a terminal or a pipe, cannot be cut). Standard
// output is never cut: what the caller put in front of the stream is theirs.
OutputSink openOutput(const std::string& name, int unit) {
  if (name == standardStreamName) {
    return OutputSink::borrowing(platform::standardHandle(platform::StandardStream::output), unit,
                                 std::string(consoleOutputName), fileOutputBufferSize);
  }
  const std::string path = fullPathName(name);
  const platform::OpenedFile file = platform::openForWriting(path);
  if (file.failure != platform::OpenFailure::none) {
    stopRun(openFailureDiagnostic(file.failure), unit, path);
  }
  return OutputSink(FileHandle(file.handle), unit, path, fileOutputBufferSize, file.isRegularFile);
}

// A file name, not standard input or output and not an output left out.
bool namesFile(const std::string& name) {
  return !name.empty() && name != standardStreamName;
}

// How usage errors name an output: by its option, or by what it is.
std::string messageName(const RunOutput& output) {
  if (output.option.empty()) return std::string(output.what);
  // Appended piece by piece: GCC 12 at -O3 takes "'" + std::string for an
  // overlapping copy (-Wrestrict) and stops a build with warnings as errors.
  std::string name = "'";
  name += output.option;
  name += '\'';
  return name;
}

std::string clashOf(const RunOutput& output, const std::string& name, std::string_view other) {
  return std::string(output.what) + " '" + name + "' is " + std::string(other) +
         " too; name another";
}

// The observation files' sink: gzip'd when asked for.
OutputSink encodedObservations(OutputSink sink, bool gzip) {
  if (gzip) sink.encodeWith(gzipEncoder());
  return sink;
}

// Line 2 of a Compact RINEX file names the program as --version does.
std::string compactRinexProgram() {
  return std::string(commandName) + " " + std::string(versionText) + " build " +
         std::string(buildVersion);
}

// The observation files' encoder: Compact RINEX when asked for, else the
// dialect's plain text.
std::unique_ptr<EpochEncoder> epochEncoderFor(const RunOptions& options, RunFiles& files) {
  if (!options.compactRinex) return nullptr;
  return compactRinexEncoder(*options.header.dialect, options.header.withSnr, compactRinexProgram(),
                             systemUtcClock(), files.compactRinexTally);
}

void place(std::optional<ObservationWriter>& slot, OutputSink sink, const RunOptions& options,
           RunFiles& files) {
  slot.emplace(encodedObservations(std::move(sink), options.gzip), options.header,
               epochEncoderFor(options, files));
}

void place(std::optional<OutputSink>& slot, OutputSink sink, const RunOptions& /*options*/,
           RunFiles& /*files*/) {
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
                     [&](const std::string& other) { return platform::sameFile(path, other); });
}

// The folder of files named by their epochs must be there before the run
// starts, rather than be found missing at the first epoch.
void checkFolder(const std::string& folder) {
  const std::string path = fullPathName(folder.empty() ? "." : folder);
  switch (platform::pathKind(path)) {
    case platform::PathKind::folder:
      return;
    case platform::PathKind::missing:
      stopRun(Diagnostic::fileNotFound, observationUnit, path);
    case platform::PathKind::other:
      stopRun(Diagnostic::openFailure, observationUnit, path);
  }
}

// Named files go to the disk like --output's file; one that would be the log
// or a quality report is refused at its opening or renaming, as its name is
// known only then.
NamedFileAccess namedFileAccess(const RunOptions& options, OutputSink* progress) {
  const std::vector<std::string> others = filesNotToOverwrite(options);
  NamedFileAccess access{[others, gzip = options.gzip](const std::string& name) {
                           const std::string path = fullPathName(name);
                           if (isAnyOf(path, others))
                             stopRun(Diagnostic::openFailure, observationUnit, path);
                           return encodedObservations(openOutput(name, observationUnit), gzip);
                         },
                         [others](const std::string& from, const std::string& to) {
                           const std::string path = fullPathName(to);
                           return !isAnyOf(path, others) &&
                                  platform::renameFile(fullPathName(from), path);
                         }};
  if (progress == nullptr) return access;
  // Flushed at once, so that a script reading the console line by line can
  // take each file as soon as it is there.
  access.finished = [progress](const WrittenFile& file) {
    writeFileLine(*progress, file);
    progress->flush();
  };
  access.lateEpoch = [progress](std::int64_t count) {
    std::string line(lateEpochLabel);
    line += std::to_string(count);
    line += lateEpochsCountLabel;
    writeRemark(*progress, line);
    progress->flush();
  };
  return access;
}

// The reports beside named files go to the disk as the named files do, and
// are refused where those are.
ReportOpener fileReportOpener(const RunOptions& options) {
  return [others = filesNotToOverwrite(options)](const std::string& name, int unit) {
    const std::string path = fullPathName(name);
    if (isAnyOf(path, others)) stopRun(Diagnostic::openFailure, unit, path);
    return openOutput(name, unit);
  };
}

FileReportKinds fileReportKinds(const RunOptions& options) {
  return {options.qualityTextEach, options.qualityJsonEach, options.trackingPlotEach};
}

}  // namespace

std::string fullPathName(std::string_view name) {
  return platform::absolutePath(name);
}

bool writesStandardOutput(const RunOptions& options) {
  return std::any_of(runOutputs.begin(), runOutputs.end(), [&](const RunOutput& output) {
    return options.*output.path == standardStreamName;
  });
}

std::optional<OutputClash> standardOutputClash(const RunOptions& options) {
  const RunOutput* first = nullptr;
  for (const RunOutput& output : runOutputs) {
    if (options.*output.path != standardStreamName) continue;
    if (first != nullptr) {
      return OutputClash{messageName(*first) + " and " + messageName(output) +
                             " cannot both go to standard output",
                         output.option};
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
    if (namesFile(options.logPath) && platform::sameFile(path, fullPathName(options.logPath))) {
      return clashOf(*later, name, "the log");
    }
    for (auto earlier = runOutputs.begin(); earlier != later; ++earlier) {
      const std::string& other = options.*earlier->path;
      if (namesFile(other) && platform::sameFile(path, fullPathName(other))) {
        return clashOf(*later, name, earlier->what);
      }
    }
  }
  if (options.naming && !options.naming->split) {
    const std::string temporary = fullPathName(options.naming->temporaryPath);
    const auto isTemporary = [&](const std::string& name) {
      return namesFile(name) && platform::sameFile(temporary, fullPathName(name));
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
  using platform::StandardStream;
  const platform::NativeHandle out = platform::standardHandle(
      writesStandardOutput(options) ? StandardStream::error : StandardStream::output);
  return {OutputSink::borrowing(out, consoleOutputUnit, std::string(consoleOutputName),
                                consoleOutputBufferSize),
          OutputSink::borrowing(platform::standardHandle(StandardStream::error), 0, "",
                                consoleOutputBufferSize)};
}

QualityOutputs RunFiles::qualityOutputs() {
  return {qualityText ? &*qualityText : nullptr, qualityJson ? &*qualityJson : nullptr,
          trackingPlot ? &*trackingPlot : nullptr};
}

void openRunFiles(const RunOptions& options, RunFiles& files, OutputSink* progress) {
  files.log.emplace(openLog(options.logPath));
  for (const RunOutput& output : runOutputs) {
    const std::string& name = options.*output.path;
    if (name.empty()) continue;
    std::visit(
        [&](auto slot) { place(files.*slot, openOutput(name, output.unit), options, files); },
        output.slot);
  }
  if (options.naming) {
    checkFolder(options.naming->folder);
    files.observations.emplace(options.header, observationUnit, epochEncoderFor(options, files));
    NamedFileAccess access = namedFileAccess(options, progress);
    if (const FileReportKinds kinds = fileReportKinds(options); kinds.any()) {
      FileReports& reports = files.fileReports.emplace(kinds, options.header.intervalSeconds,
                                                       fileReportOpener(options));
      // The reports are there before the file is said to be finished.
      access.finished = [&reports, told = std::move(access.finished)](const WrittenFile& file) {
        reports.fileFinished(file);
        if (told) told(file);
      };
    }
    files.namedFiles.emplace(*options.naming, options.header, std::move(access));
  }
}

std::string compactRinexNotes(const CompactRinexTally& tally) {
  std::string notes;
  const auto note = [&](std::int64_t count, std::string_view what) {
    if (count == 0) return;
    notes += "Compact RINEX: " + std::to_string(count) + " " + std::string(what) + "\n";
  };
  note(tally.blankedValues, "values too wide for their fields written as blank fields");
  note(tally.repeatedSatellites, "repeated satellites left out of their epochs, the first kept");
  note(tally.headerOnlyFiles, "files without epochs closed with END OF HEADER");
  return notes;
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
