// The tracking plot: one row per satellite with time across, each bin's
// mark coloured by its mean C/N0, loss-of-lock records, suspected slips and
// gaps marked apart, and below it the satellites per epoch. SVG 1.1 text,
// deterministic, with every mark of a kind merged into one path so that a
// day at 1 Hz stays a few dozen kB.
#pragma once

#include "common/output_sink.hpp"
#include "qc/quality_report.hpp"

namespace kapolex {

// C/N0 colour classes: below the first bound, one per 5 dB-Hz, and above
// the last bound.
constexpr double plotCarrierToNoiseLow = 20.0;
constexpr double plotCarrierToNoiseHigh = 55.0;
constexpr double plotCarrierToNoiseStep = 5.0;

// Writes the plot of the report's data as one SVG document.
void writeTrackingPlot(OutputSink& out, const QualityReport& report);

}  // namespace kapolex
