#include "qc/text_report.hpp"

#include <string>

#include "qc/report_format.hpp"

namespace kapolex {

namespace {

// The text right-aligned (negative width: left-aligned) in a column. A text
// that fills its column or runs over it keeps a blank on its open side, so
// that it never runs into its neighbour: a damaged log's figures can be
// wider than any column.
std::string column(const std::string& text, int width) {
  const auto size = static_cast<int>(text.size());
  const int room = (width < 0 ? -width : width) - size;
  if (room <= 0) return width < 0 ? text + " " : " " + text;
  const std::string pad(static_cast<std::size_t>(room), ' ');
  return width < 0 ? text + pad : pad + text;
}

std::string timeText(const ReportTime& time) {
  return joined(gpsTimeText(time.gps), "  ", calendarText(time.calendar));
}

void line(OutputSink& out, const std::string& label, const std::string& value) {
  out.write(joined("  ", column(label, -18), value, "\n"));
}

std::string number(std::int64_t value) {
  return std::to_string(value);
}

void writeLogSection(OutputSink& out, const LogFigures& log) {
  out.write("Log\n");
  line(out, "first epoch", log.hasEpochs ? timeText(log.first) : "-");
  line(out, "last epoch", log.hasEpochs ? timeText(log.last) : "-");
  line(out, "interval", joined(exactSeconds(log.interval), " s"));
  line(out, "epochs",
       joined(number(log.epochs), " present, ", number(log.expectedEpochs), " expected, ",
              number(log.epochsWritten), " written"));
  const std::string longest =
      log.longestGapEpochs > 0 ? joined(" from ", timeText(log.longestGapStart)) : "";
  line(out, "gaps",
       joined(number(log.gaps), ", ", number(log.gapEpochs), " epochs missing, longest ",
              number(log.longestGapEpochs), longest));
  line(out, "times",
       joined(number(log.repeatedTimes), " repeated, ", number(log.backwardTimes), " backward, ",
              number(log.weekRollovers), " week rollovers, ", number(log.unusableTimes),
              " unusable"));
  line(out, "unlisted steps", number(log.unlistedSteps));
  std::string messages;
  for (const MessageTally& m : log.messages) {
    messages += joined(messages.empty() ? "" : ", ", number(m.id), ": ", number(m.count));
  }
  line(out, "messages by ID", messages.empty() ? "-" : messages);
}

std::string satelliteHeading() {
  return joined("PRN", column("epochs", 9), column("span%", 7), column("arcs", 6), "  ",
                column("first", -18), "  ", column("last", -18), column("LLI", 7),
                column("C/N0 mean", 11), column("min", 7), column("max", 7),
                column("rollovers", 11), column("slips", 7), column("noise m", 9),
                column("limit m", 9), "\n");
}

std::string satelliteLine(const SatelliteFigures& s) {
  return joined(column(number(s.prn), 3), column(number(s.epochs), 9),
                column(fixedDecimal(100.0 * s.spanShare, 1), 7), column(number(s.arcs), 6), "  ",
                column(gpsTimeText(s.first.gps), -18), "  ", column(gpsTimeText(s.last.gps), -18),
                column(number(s.lossOfLock), 7), column(fixedDecimal(s.carrierToNoiseMean, 2), 11),
                column(shortestDecimal(s.carrierToNoiseMin), 7),
                column(shortestDecimal(s.carrierToNoiseMax), 7), column(number(s.rollovers), 11),
                column(number(s.slips), 7), column(fixedDecimal(s.jumpNoise, 3), 9),
                column(fixedDecimal(s.slipThreshold, 3), 9), "\n");
}

void writeSlips(OutputSink& out, const QualityReport& report) {
  out.write(joined("\nSuspected slips: ", number(report.slips), ", listed ",
                   std::to_string(report.listedSlips.size()), "\n"));
  if (report.listedSlips.empty()) return;
  out.write("PRN  time                                         jump m\n");
  for (const SuspectedSlip& s : report.listedSlips) {
    out.write(joined(column(number(s.prn), 3), "  ", column(timeText(s.at), -43),
                     column(fixedDecimal(s.jump, 3), 10), "\n"));
  }
}

}  // namespace

std::string summaryText(const QualityReport& report) {
  const auto count = [](std::int64_t n, const char* one, const char* more) {
    return joined(number(n), " ", n == 1 ? one : more);
  };
  return joined(
      count(static_cast<std::int64_t>(report.satellites.size()), "satellite", "satellites"), ", ",
      fixedDecimal(report.log.meanSatellites, 2), " per epoch, ",
      count(report.slips, "suspected slip", "suspected slips"), ", ",
      count(report.log.gaps, "gap", "gaps"));
}

void writeTextReport(OutputSink& out, const QualityReport& report) {
  out.write("Quality check\n\n");
  writeLogSection(out, report.log);
  out.write(
      "\nSatellites (span% of the expected epochs; C/N0 in dB-Hz; noise: of the "
      "code-minus-carrier jumps)\n");
  out.write(satelliteHeading());
  for (const SatelliteFigures& s : report.satellites) out.write(satelliteLine(s));
  writeSlips(out, report);
  out.write(joined("\nSummary: ", summaryText(report), "\n"));
}

}  // namespace kapolex
