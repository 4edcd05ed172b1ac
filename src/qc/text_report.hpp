// The quality check's report for a person: the log's figures, one aligned
// line per satellite, the suspected slips listed and a summary line.
#pragma once

#include <string>

#include "common/output_sink.hpp"
#include "qc/quality_report.hpp"

namespace kapolex {

// The summary: satellites seen, mean satellites per epoch, suspected slips
// and gaps, as one line without its end.
std::string summaryText(const QualityReport& report);

// Writes the report as plain text lines ending in LF.
void writeTextReport(OutputSink& out, const QualityReport& report);

}  // namespace kapolex
