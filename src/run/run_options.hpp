// What a run is asked to do, as its command line says: the files it reads
// and writes, the week, and what the observation header says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rinex/header_fields.hpp"

namespace kapolex {

// "-" names standard input as the log and standard output as an output.
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
};

}  // namespace kapolex
