// The files of a run as its options name them: the log to read (a file or
// standard input), the observation file and the quality reports to write
// (files or standard output), and the console streams around them. Files
// are found from the working directory and named by their full path in
// diagnostics.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "common/file_handle.hpp"
#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "rinex/compact_rinex_encoder.hpp"
#include "rinex/observation_writer.hpp"
#include "run/conversion.hpp"
#include "run/file_reports.hpp"
#include "run/named_files.hpp"
#include "run/run_options.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {

// The log a run reads: its handle, and its name in diagnostics.
struct LogFile {
  FileHandle handle;
  std::string path;
  bool regularFile = false;  // not standard input, a pipe or a device
};

// The open files of a run.
struct RunFiles {
  std::optional<LogFile> log;
  std::optional<ObservationWriter> observations;
  std::optional<OutputSink> qualityText;
  std::optional<OutputSink> qualityJson;
  std::optional<OutputSink> trackingPlot;
  // How the observation files are named when they take standard names.
  std::optional<NamedObservationFiles> namedFiles;
  // The reports beside each of them, when asked for.
  std::optional<FileReports> fileReports;
  // What Compact RINEX could not hold, said once at the end.
  CompactRinexTally compactRinexTally;

  // Where the quality reports go.
  QualityOutputs qualityOutputs();
};

// Where an open output is kept: the observation file inside its writer, a
// quality report as it is.
using OutputSlot = std::variant<std::optional<ObservationWriter> RunFiles::*,
                                std::optional<OutputSink> RunFiles::*>;

// One of the run's outputs.
struct RunOutput {
  std::string RunOptions::*path;
  // The option that names it, for usage errors; empty for the observation
  // file, which they name by what it is.
  std::string_view option;
  std::string_view what;  // among the run's files: "the quality report"
  int unit;               // in diagnostics
  OutputSlot slot;
};

// The run's outputs, in the order they are checked and opened.
inline constexpr std::array<RunOutput, 4> runOutputs{{
    {&RunOptions::observationPath, "", "the observation file", observationUnit,
     &RunFiles::observations},
    {&RunOptions::qualityTextPath, "--qc", "the quality report", qualityTextUnit,
     &RunFiles::qualityText},
    {&RunOptions::qualityJsonPath, "--qc-json", "the JSON quality report", qualityJsonUnit,
     &RunFiles::qualityJson},
    {&RunOptions::trackingPlotPath, "--plot", "the tracking plot", trackingPlotUnit,
     &RunFiles::trackingPlot},
}};

// The full path name to which a name resolves in the working directory,
// written with the system's separator (see platform::absolutePath).
std::string fullPathName(std::string_view name);

// Whether an output goes to standard output, so that the console's text
// must go to standard error.
bool writesStandardOutput(const RunOptions& options);

// A usage error in a run's options: what is wrong, and the option it
// concerns ("--qc"), empty when it concerns no single option.
struct OutputClash {
  std::string message;
  std::string_view option;
};

// What is wrong when more than one output goes to standard output, with the
// option of the second of them; nothing otherwise.
std::optional<OutputClash> standardOutputClash(const RunOptions& options);

// What is wrong when two of the run's files are one and the same (an output
// that would overwrite the log or another output, or the temporary file of
// a standard-named one that would); nothing otherwise. The names of files
// named by their epochs are known only when they are opened, which refuses
// the log and the quality reports.
std::optional<std::string> clashingFiles(const RunOptions& options);

// The console streams: prompt and summary go to standard output, unless an
// output does; diagnostics always go to standard error.
struct Console {
  OutputSink out;
  OutputSink errors;
};
Console consoleFor(const RunOptions& options);

// Opens the log, then the outputs, in that order. A file that cannot be
// opened stops the run with its diagnostic; the files opened before stay
// in files, so that the stop can still write out what they hold. Files
// named by their epochs are opened as their epochs come; here only their
// folder is looked for. With progress, each named file is listed there as
// it is finished, and each epoch not written for a finished period is
// counted there (a followed run).
void openRunFiles(const RunOptions& options, RunFiles& files, OutputSink* progress = nullptr);

// The lines that say what Compact RINEX could not hold, with their counts;
// empty when nothing was changed.
std::string compactRinexNotes(const CompactRinexTally& tally);

// Closes the open outputs, each of which writes out what it still holds.
// Returns the stop for the first that fails, or nothing.
std::optional<RunStop> closeRunFiles(RunFiles& files);

}  // namespace kapolex
