// The command line for scripts and field work. A run without arguments is
// the classic one: z.log to z.obs in the working directory, the week asked at
// the console. Options name the files, give the week or the survey date, the
// decimation interval, the header's station and equipment fields and S1;
// every value is checked here, before anything is opened, so that a usage
// error changes nothing on disk.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rinex/header_fields.hpp"

namespace kapolex {

// "-" names standard input as the log and standard output as the
// observation file.
inline constexpr std::string_view standardStreamName = "-";

struct RunOptions {
  std::string logPath;  // as given; "-" for standard input
  // As given or derived; "-" for standard output; empty for none.
  std::string observationPath;
  std::optional<std::int32_t> week;  // from --week or --date; asked at the console without
  HeaderFields header;               // with the decimation interval and S1
  bool quiet = false;                // no summary
  // The quality reports: text, JSON and the tracking plot; empty when not
  // asked for, "-" for standard output.
  std::string qualityTextPath;
  std::string qualityJsonPath;
  std::string trackingPlotPath;

  // One of the run's outputs: where it goes, and its names in messages.
  struct Output {
    const std::string* path;
    std::string_view option;  // in usage errors: "'--qc'"
    std::string_view what;    // among the run's files: "the quality report"
  };
  // The observation file and the quality reports, in the order they open.
  std::array<Output, 4> outputs() const;

  // Whether an output goes to standard output, so that the console's text
  // must go to standard error.
  bool writesStandardOutput() const;
};

struct CommandLine {
  enum class Action { run, help, version, usageError };
  Action action = Action::run;
  RunOptions options;
  std::string error;  // what is wrong, for a usage error
};

// Parses the arguments after the program name.
CommandLine parseCommandLine(std::span<const char* const> arguments);

// The text of --help.
std::string usageText();

// The text of --version.
std::string versionLines();

}  // namespace kapolex
