// The files of a run as its options name them: the log to read (a file or
// standard input), the observation file and the quality reports to write
// (files or standard output), and the console streams around them. Files
// are found from the working directory and named by their full path in
// diagnostics.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "rinex/observation_writer.hpp"
#include "run/command_line.hpp"
#include "run/conversion.hpp"

namespace kapolex {

// The full path name to which a name resolves in the working directory.
std::string fullPathName(std::string_view name);

// What is wrong when two of the run's files are one and the same (an output
// that would overwrite the log or another output); nothing otherwise.
std::optional<std::string> clashingFiles(const RunOptions& options);

// The console streams: prompt and summary go to standard output, unless an
// output does; diagnostics always go to standard error.
struct Console {
  OutputSink out;
  OutputSink errors;
};
Console consoleFor(const RunOptions& options);

// The open files of a run.
struct RunFiles {
  std::optional<LogReader> log;
  std::optional<ObservationWriter> observations;
  std::optional<OutputSink> qualityText;
  std::optional<OutputSink> qualityJson;
  std::optional<OutputSink> trackingPlot;

  // Where the quality reports go.
  QualityOutputs qualityOutputs();
};

// Opens the log, then the outputs, in that order. A file that cannot be
// opened stops the run with its diagnostic; the files opened before stay
// in files, so that the stop can still write out what they hold.
void openRunFiles(const RunOptions& options, RunFiles& files);

}  // namespace kapolex
