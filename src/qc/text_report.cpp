#include "qc/text_report.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>

#include "qc/report_format.hpp"

namespace kapolex {

namespace {

// The text right-aligned (negative width: left-aligned) in a column that
// it fits.
std::string padded(std::string_view text, int width) {
  const int room = std::max(0, std::abs(width) - static_cast<int>(text.size()));
  const std::string pad(static_cast<std::size_t>(room), ' ');
  return width < 0 ? joined(text, pad) : joined(pad, text);
}

// A value in its column, aligned as padded aligns it. A value that fills
// its column or runs over it keeps a blank on its open side, so that it
// never runs into its neighbour: a damaged log's figures can be wider than
// any column.
std::string column(const std::string& text, int width) {
  if (static_cast<int>(text.size()) >= std::abs(width)) {
    return width < 0 ? text + " " : " " + text;
  }
  return padded(text, width);
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

// A column of the satellite table: the blanks in front of it, its heading,
// its width (negative: left-aligned) and how a satellite's value is written.
struct SatelliteColumn {
  std::string_view gap;
  std::string_view heading;
  int width;
  std::string (*value)(const SatelliteFigures&);
};

constexpr std::array<SatelliteColumn, 14> satelliteColumns{{
    {"", "PRN", 3, [](const SatelliteFigures& s) { return number(s.prn); }},
    {"", "epochs", 9, [](const SatelliteFigures& s) { return number(s.epochs); }},
    {"", "span%", 7,
     [](const SatelliteFigures& s) { return fixedDecimal(100.0 * s.spanShare, 1); }},
    {"", "arcs", 6, [](const SatelliteFigures& s) { return number(s.arcs); }},
    {"  ", "first", -18, [](const SatelliteFigures& s) { return gpsTimeText(s.first.gps); }},
    {"  ", "last", -18, [](const SatelliteFigures& s) { return gpsTimeText(s.last.gps); }},
    {"", "LLI", 7, [](const SatelliteFigures& s) { return number(s.lossOfLock); }},
    {"", "C/N0 mean", 11,
     [](const SatelliteFigures& s) { return fixedDecimal(s.carrierToNoiseMean, 2); }},
    {"", "min", 7, [](const SatelliteFigures& s) { return shortestDecimal(s.carrierToNoiseMin); }},
    {"", "max", 7, [](const SatelliteFigures& s) { return shortestDecimal(s.carrierToNoiseMax); }},
    {"", "rollovers", 11, [](const SatelliteFigures& s) { return number(s.rollovers); }},
    {"", "slips", 7, [](const SatelliteFigures& s) { return number(s.slips); }},
    {"", "noise m", 9, [](const SatelliteFigures& s) { return fixedDecimal(s.jumpNoise, 3); }},
    {"", "limit m", 9, [](const SatelliteFigures& s) { return fixedDecimal(s.slipThreshold, 3); }},
}};

// The headings fit their columns (the first one exactly): they are padded,
// without the blank that a value running over its column takes.
constexpr bool headingsFit() {
  for (const SatelliteColumn& c : satelliteColumns) {
    if (c.heading.size() > static_cast<std::size_t>(c.width < 0 ? -c.width : c.width)) {
      return false;
    }
  }
  return true;
}
static_assert(headingsFit());

std::string satelliteHeading() {
  std::string text;
  for (const SatelliteColumn& c : satelliteColumns) {
    text += joined(c.gap, padded(c.heading, c.width));
  }
  text += '\n';
  return text;
}

std::string satelliteLine(const SatelliteFigures& s) {
  std::string text;
  for (const SatelliteColumn& c : satelliteColumns) {
    text += joined(c.gap, column(c.value(s), c.width));
  }
  text += '\n';
  return text;
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
