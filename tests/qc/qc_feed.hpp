// Feeds a receiver log to the quality check with the real pieces of a run:
// the log reader and the conversion loop, with the measurement stage
// decoding every usable epoch in full and no observation file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "qc/quality_check.hpp"

namespace kapolex::testing {

// The report of a log held in memory, the converter following the weeks
// from `week`.
QualityReport checkLog(std::span<const std::uint8_t> bytes, std::int32_t week,
                       const QualityCheckSettings& settings = {});

// The same for a log file, read in blocks; throws when it cannot be opened.
QualityReport checkLogFile(const std::string& path, std::int32_t week,
                           const QualityCheckSettings& settings = {});

// A report as its three writers put it, in memory.
std::string textOf(const QualityReport& report);
std::string jsonOf(const QualityReport& report);
std::string plotOf(const QualityReport& report);

}  // namespace kapolex::testing
