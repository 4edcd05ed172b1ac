// The quality check's report for programs: the same figures as the text
// report in a JSON document whose schema doc/quality-report.md describes.
#pragma once

#include "common/output_sink.hpp"
#include "qc/quality_report.hpp"

namespace kapolex {

// The schema's version, written as "version"; it changes when a member's
// meaning changes or one is removed.
constexpr int qualityJsonVersion = 1;

// Writes the report as one JSON object, two-space indented, ending in LF.
void writeJsonReport(OutputSink& out, const QualityReport& report);

}  // namespace kapolex
