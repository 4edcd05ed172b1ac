#include "qc/tracking_plot.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qc/report_format.hpp"
#include "qc/step_histogram.hpp"
#include "qc/svg_writer.hpp"
#include "qc/text_report.hpp"
#include "qc/timeline.hpp"

namespace kapolex {

namespace {

constexpr std::size_t colourCount = 9;
// A perceptually ordered scale from dark (weak) to bright (strong) that
// stays apart from the red, black and orange of the other marks.
constexpr std::array<const char*, colourCount> colours = {"#440154", "#472d7b", "#3b528b",
                                                          "#2c728e", "#21918c", "#28ae80",
                                                          "#5ec962", "#addc30", "#fde725"};
constexpr const char* lossOfLockColour = "#e4002b";
constexpr const char* slipColour = "#000000";
constexpr const char* gapColour = "#ffd8a8";
constexpr const char* shortGapColour = "#e8590c";
constexpr const char* bandColour = "#a5c8e4";
// The chart's own lines and grounds, greys that stay behind the marks, and
// the line of the mean satellites per epoch, dark enough to read on the band.
constexpr const char* backgroundColour = "#ffffff";
constexpr const char* stripeColour = "#f3f3f3";     // every second satellite row
constexpr const char* timeGridColour = "#cccccc";   // across the rows at each tick
constexpr const char* tickColour = "#444444";       // below the lower panel
constexpr const char* countGridColour = "#dddddd";  // across the lower panel
constexpr const char* panelFrameColour = "#888888";
constexpr const char* meanColour = "#1f4e79";

constexpr double width = 1200.0;
constexpr double left = 64.0;
constexpr double right = 40.0;
constexpr double chartWidth = width - left - right;
constexpr double labelsRight = left - 6.0;  // where the row and count labels end
constexpr double rowsTop = 64.0;
constexpr double rowHeight = 14.0;
constexpr double markTop = 2.0;  // within the row
constexpr double markHeight = 10.0;
constexpr double lossOfLockStripHeight = 3.0;  // along the row's top
constexpr double slipBarWidth = 2.0;           // across the row
// How far the slip bar, and the line of a gap within a bin in the legend,
// reach above the row's top.
constexpr double markOverhang = 1.0;
constexpr double panelGap = 16.0;
constexpr double panelHeight = 100.0;
constexpr double axisHeight = 84.0;
constexpr double legendHeight = 56.0;
constexpr double legendLineHeight = 28.0;
constexpr double legendBaseline = 10.0;  // of a label, below its line's top
constexpr double keyWidth = 14.0;        // a colour key of the legend
constexpr double keyHeight = 12.0;
constexpr double labelAfterKey = keyWidth + 4.0;
constexpr double labelAfterLine = 8.0;  // after a bar or a line
// The room each colour key takes with its label, and the room of the
// line's caption before them.
constexpr double colourKeyRoom = 62.0;
constexpr double colourCaptionRoom = 190.0;
constexpr int maxTicks = 8;
constexpr double tickLength = 5.0;
// The baselines of the lines under the ticks, and of the axis caption, below
// the lower panel.
constexpr double tickLabelFirstLine = 18.0;
constexpr double tickLabelLine = 14.0;
constexpr double axisCaptionLine = 66.0;
constexpr double panelTitleX = 16.0;  // the lower panel's title, along its left side
// Satellites between the lines of the lower panel's scale.
constexpr std::uint32_t countLineStep = 4;

constexpr const char* rightAligned = "text-anchor=\"end\"";
constexpr const char* centred = "text-anchor=\"middle\"";

struct PlotGeometry {
  std::size_t bins = 0;
  std::size_t rows = 0;
  double binWidth = 0.0;  // px
  double rowsBottom = 0.0;
  double panelTop = 0.0;
  double panelBottom = 0.0;
  double height = 0.0;
  double x(std::size_t bin) const { return left + binWidth * static_cast<double>(bin); }
  double centre(std::size_t bin) const { return x(bin) + binWidth / 2.0; }
  // The width of bins [first, end).
  double runWidth(std::size_t first, std::size_t end) const {
    return binWidth * static_cast<double>(end - first);
  }
  double rowTop(std::size_t row) const { return rowsTop + rowHeight * static_cast<double>(row); }
};

PlotGeometry plotGeometryOf(const QualityReport& report) {
  PlotGeometry geometry;
  geometry.bins = std::max<std::size_t>(report.plot.bins.size(), 1);
  geometry.rows = report.satellites.size();
  geometry.binWidth = chartWidth / static_cast<double>(geometry.bins);
  geometry.rowsBottom = rowsTop + rowHeight * static_cast<double>(geometry.rows);
  geometry.panelTop = geometry.rowsBottom + panelGap;
  geometry.panelBottom = geometry.panelTop + panelHeight;
  geometry.height = geometry.panelBottom + axisHeight + legendHeight;
  return geometry;
}

std::size_t colourClass(const PlotCell& cell) {
  const double mean = cell.meanCarrierToNoise();
  if (mean < plotCarrierToNoiseLow) return 0;
  if (mean >= plotCarrierToNoiseHigh) return colourCount - 1;
  return 1 + static_cast<std::size_t>((mean - plotCarrierToNoiseLow) / plotCarrierToNoiseStep);
}

// Calls run(first, end) for each run of consecutive bins that `in` accepts.
template <class In, class Run>
void forRuns(std::size_t count, In in, Run run) {
  std::size_t b = 0;
  while (b < count) {
    if (!in(b)) {
      ++b;
      continue;
    }
    std::size_t end = b + 1;
    while (end < count && in(end)) ++end;
    run(b, end);
    b = end;
  }
}

std::string gapMarks(const QualityReport& report, const PlotGeometry& geometry) {
  const TrackingPlotData& plot = report.plot;
  std::string bands;
  forRuns(
      plot.bins.size(), [&](std::size_t b) { return plot.bins[b].epochs == 0; },
      [&](std::size_t b, std::size_t end) {
        bands += rectanglePath(geometry.x(b), rowsTop, geometry.runWidth(b, end),
                               geometry.panelBottom - rowsTop);
      });
  // A gap shorter than a bin shows as a line where its bin starts.
  std::string lines;
  for (std::size_t b = 0; b < plot.bins.size(); ++b) {
    const PlotBin& bin = plot.bins[b];
    if (bin.epochs == 0 || (b > 0 && plot.bins[b - 1].epochs == 0)) continue;
    if (missingEpochs(bin.longestStep, plot.interval) == 0) continue;
    lines +=
        joined(pathPoint('M', geometry.x(b), rowsTop), pathCoordinate('V', geometry.panelBottom));
  }
  return joined(pathElement(bands, fillAttribute(gapColour)),
                pathElement(lines, strokeAttribute(shortGapColour, 1)));
}

// Each tracked bin's mark, runs of one colour merged, into the paths by colour.
void addCells(const TrackingPlotData& plot, std::size_t satellite, double top,
              const PlotGeometry& geometry, std::array<std::string, colourCount>& cells) {
  std::size_t b = 0;
  while (b < plot.bins.size()) {
    if (plot.cells.at(b, satellite).epochs == 0) {
      ++b;
      continue;
    }
    const std::size_t colour = colourClass(plot.cells.at(b, satellite));
    std::size_t end = b + 1;
    while (end < plot.bins.size() && plot.cells.at(end, satellite).epochs > 0 &&
           colourClass(plot.cells.at(end, satellite)) == colour) {
      ++end;
    }
    cells[colour] +=
        rectanglePath(geometry.x(b), top + markTop, geometry.runWidth(b, end), markHeight);
    b = end;
  }
}

// Loss of lock as a strip along the row's top; slips as a bar across it.
void addFlags(const TrackingPlotData& plot, std::size_t satellite, double top,
              const PlotGeometry& geometry, std::string& lossOfLock, std::string& slips) {
  forRuns(
      plot.bins.size(), [&](std::size_t b) { return plot.cells.at(b, satellite).lossOfLock > 0; },
      [&](std::size_t b, std::size_t end) {
        lossOfLock +=
            rectanglePath(geometry.x(b), top, geometry.runWidth(b, end), lossOfLockStripHeight);
      });
  for (std::size_t b = 0; b < plot.bins.size(); ++b) {
    if (plot.cells.at(b, satellite).slips == 0) continue;
    slips += rectanglePath(geometry.centre(b) - slipBarWidth / 2.0, top - markOverhang,
                           slipBarWidth, rowHeight);
  }
}

std::string prnLabel(int prn) {
  return joined(prn < 10 ? "G0" : "G", std::to_string(prn));
}

std::string satelliteRows(const QualityReport& report, const PlotGeometry& geometry) {
  std::array<std::string, colourCount> cells;
  std::string stripes;
  std::string lossOfLock;
  std::string slips;
  std::string labels;
  for (std::size_t row = 0; row < geometry.rows; ++row) {
    const int prn = report.satellites[row].prn;
    const auto satellite = static_cast<std::size_t>(prn - 1);
    const double top = geometry.rowTop(row);
    if (row % 2 == 1) stripes += rectanglePath(left, top, chartWidth, rowHeight);
    labels += textElement(labelsRight, top + 11, prnLabel(prn));
    addCells(report.plot, satellite, top, geometry, cells);
    addFlags(report.plot, satellite, top, geometry, lossOfLock, slips);
  }
  std::string svg = pathElement(stripes, fillAttribute(stripeColour));
  for (std::size_t c = 0; c < colourCount; ++c) {
    svg += pathElement(cells[c], fillAttribute(colours[c]));
  }
  svg += pathElement(lossOfLock, fillAttribute(lossOfLockColour));
  svg += pathElement(slips, fillAttribute(slipColour));
  return joined(svg, groupElement(rightAligned, labels));
}

// The lower panel's scale: from no satellites at its bottom to the next
// line above the most of any bin, so that a full line does not hide in the
// frame.
struct CountScale {
  double bottom = 0.0;
  std::uint32_t top = 0;
  double y(double count) const { return bottom - panelHeight * count / static_cast<double>(top); }
};

CountScale countScaleOf(const TrackingPlotData& plot, const PlotGeometry& geometry) {
  std::uint32_t most = countLineStep;
  for (const PlotBin& bin : plot.bins) most = std::max(most, bin.mostSatellites);
  return {geometry.panelBottom, (most / countLineStep + 1) * countLineStep};
}

std::string countLines(const CountScale& scale) {
  std::string lines;
  for (std::uint32_t count = 0; count <= scale.top; count += countLineStep) {
    lines += joined(pathPoint('M', left, scale.y(count)), pathCoordinate('H', width - right));
  }
  return lines;
}

std::string countLabels(const CountScale& scale) {
  std::string labels;
  for (std::uint32_t count = 0; count <= scale.top; count += countLineStep) {
    labels += textElement(labelsRight, scale.y(count) + 4, std::to_string(count));
  }
  return labels;
}

// The fewest to the most satellites of each bin's epochs as a band, broken
// where a bin has no epoch: along the most satellites, then back along the
// fewest.
std::string countBand(const TrackingPlotData& plot, const PlotGeometry& geometry,
                      const CountScale& scale) {
  std::string band;
  forRuns(
      plot.bins.size(), [&](std::size_t b) { return plot.bins[b].epochs > 0; },
      [&](std::size_t b, std::size_t end) {
        for (std::size_t k = b; k < end; ++k) {
          const double high = scale.y(plot.bins[k].mostSatellites);
          band += pathPoint(k == b ? 'M' : 'L', geometry.x(k), high);
          band += pathPoint('L', geometry.x(k + 1), high);
        }
        for (std::size_t k = end; k-- > b;) {
          const double fewest = scale.y(plot.bins[k].fewestSatellites);
          band += pathPoint('L', geometry.x(k + 1), fewest);
          band += pathPoint('L', geometry.x(k), fewest);
        }
        band += 'z';
      });
  return band;
}

// The mean satellites per epoch of each bin as a line, broken where a bin
// has no epoch.
std::string meanLine(const TrackingPlotData& plot, const PlotGeometry& geometry,
                     const CountScale& scale) {
  std::string line;
  forRuns(
      plot.bins.size(), [&](std::size_t b) { return plot.bins[b].epochs > 0; },
      [&](std::size_t b, std::size_t end) {
        for (std::size_t k = b; k < end; ++k) {
          const PlotBin& bin = plot.bins[k];
          const double mean = static_cast<double>(bin.channels) / static_cast<double>(bin.epochs);
          line += pathPoint(k == b ? 'M' : 'L', geometry.centre(k), scale.y(mean));
        }
      });
  return line;
}

// The lower panel: the satellites per epoch of each bin, on a scale of
// lines every few satellites, titled along its left side.
std::string satelliteCounts(const QualityReport& report, const PlotGeometry& geometry) {
  const TrackingPlotData& plot = report.plot;
  const CountScale scale = countScaleOf(plot, geometry);
  const double middle = geometry.panelTop + panelHeight / 2.0;
  const std::string unfilled = fillAttribute(noPaint);
  return joined(pathElement(countLines(scale), strokeAttribute(countGridColour, 1)),
                pathElement(countBand(plot, geometry, scale), fillAttribute(bandColour)),
                pathElement(meanLine(plot, geometry, scale),
                            joined(unfilled, " ", strokeAttribute(meanColour, 1.2))),
                pathElement(rectanglePath(left, geometry.panelTop, chartWidth, panelHeight),
                            joined(unfilled, " ", strokeAttribute(panelFrameColour))),
                groupElement(rightAligned, countLabels(scale)),
                textElement(panelTitleX, middle, "satellites per epoch",
                            joined(centred, " transform=\"rotate(-90 ", svgNumber(panelTitleX), " ",
                                   svgNumber(middle), ")\"")));
}

// Tick spacing: the shortest of these (seconds, up to two days) that gives at
// most maxTicks ticks; longer logs take whole weeks, doubled as needed.
std::int64_t tickSpacing(std::int64_t range) {
  constexpr std::array<std::int64_t, 19> spacings = {1,     2,     5,     10,    15,    30,   60,
                                                     120,   300,   600,   900,   1800,  3600, 7200,
                                                     10800, 21600, 43200, 86400, 172800};
  for (const std::int64_t s : spacings) {
    if (range / (s * nanosPerSecond) < maxTicks) return s * nanosPerSecond;
  }
  std::int64_t s = nanosPerWeek;
  while (range / s >= maxTicks) s *= 2;
  return s;
}

// The labels under a tick at instant `at`: GPS week and seconds, the
// calendar clock, and the date when it is not the previous tick's.
std::string tickLabels(const TimelineAnchor& origin, std::int64_t at, double x, double top,
                       bool withSeconds, std::string& previousDate) {
  const GpsTime gps = origin.timeOf(at);
  const EpochTime calendar = calendarOf(gps);
  std::string clock = joined(twoDigits(calendar.hour), ":", twoDigits(calendar.minute));
  if (withSeconds) clock += joined(":", twoDigits(static_cast<int>(calendar.second)));
  std::string labels = joined(textElement(x, top + tickLabelFirstLine, gpsTimeText(gps)),
                              textElement(x, top + tickLabelFirstLine + tickLabelLine, clock));
  const std::string date = calendarDateText(calendar);
  if (date != previousDate) {
    labels += textElement(x, top + tickLabelFirstLine + 2 * tickLabelLine, date);
  }
  previousDate = date;
  return labels;
}

std::string timeAxis(const QualityReport& report, const PlotGeometry& geometry) {
  const TrackingPlotData& plot = report.plot;
  const std::int64_t range = plot.binWidth * static_cast<std::int64_t>(geometry.bins);
  const std::int64_t spacing = tickSpacing(range);
  const std::int64_t origin = plot.origin.nanosOfWeek() % spacing;
  const bool withSeconds = spacing < 60 * nanosPerSecond;
  std::string ticks;
  std::string grid;
  std::string labels;
  std::string previousDate;
  for (std::int64_t at = (spacing - origin) % spacing; at <= range; at += spacing) {
    const double x = left + chartWidth * static_cast<double>(at) / static_cast<double>(range);
    grid += joined(pathPoint('M', x, rowsTop), pathCoordinate('V', geometry.rowsBottom));
    ticks += joined(pathPoint('M', x, geometry.panelBottom), pathCoordinate('v', tickLength));
    labels += tickLabels(plot.origin, at, x, geometry.panelBottom, withSeconds, previousDate);
  }
  const std::string caption =
      "time: GPS week/seconds of week (first line), GPS calendar time (second and third)";
  return joined(pathElement(grid, strokeAttribute(timeGridColour, 0.6)),
                pathElement(ticks, strokeAttribute(tickColour)), groupElement(centred, labels),
                textElement(left, geometry.panelBottom + axisCaptionLine, caption));
}

// The kinds of mark the legend explains, drawn as the chart draws them; a
// caption has none.
enum class LegendMark { none, colourKey, lossOfLockStrip, slipBar, shortGapLine };

std::string legendMarkElement(LegendMark mark, const char* colour, double x, double top) {
  switch (mark) {
    case LegendMark::none:
      return "";
    case LegendMark::colourKey:
      return pathElement(rectanglePath(x, top, keyWidth, keyHeight), fillAttribute(colour));
    case LegendMark::lossOfLockStrip:
      return pathElement(rectanglePath(x, top, keyWidth, lossOfLockStripHeight),
                         fillAttribute(colour));
    case LegendMark::slipBar:
      return pathElement(rectanglePath(x, top - markOverhang, slipBarWidth, rowHeight),
                         fillAttribute(colour));
    case LegendMark::shortGapLine:
      return pathElement(
          joined(pathPoint('M', x, top - markOverhang), pathCoordinate('v', rowHeight)),
          strokeAttribute(colour));
  }
  return "";
}

// Where an entry's label begins, from the entry's left edge.
double labelOffset(LegendMark mark) {
  if (mark == LegendMark::none) return 0.0;
  return mark == LegendMark::slipBar || mark == LegendMark::shortGapLine ? labelAfterLine
                                                                         : labelAfterKey;
}

struct LegendEntry {
  LegendMark mark;
  const char* colour;
  std::string label;
  double room;  // with its label, up to the next entry
};

// A line of the legend, laid out from the chart's left edge: each entry is
// drawn at the running position, which then moves on by the entry's room.
std::string legendLine(double top, const std::vector<LegendEntry>& entries) {
  std::string svg;
  double x = left;
  for (const LegendEntry& entry : entries) {
    svg += legendMarkElement(entry.mark, entry.colour, x, top);
    svg += textElement(x + labelOffset(entry.mark), top + legendBaseline, entry.label);
    x += entry.room;
  }
  return svg;
}

// The C/N0 range of a colour class, dB-Hz: "<20", "20-25", "55+".
std::string colourClassLabel(std::size_t colour) {
  const auto whole = [](double value) { return std::to_string(static_cast<int>(value)); };
  if (colour == 0) return joined("<", whole(plotCarrierToNoiseLow));
  if (colour == colourCount - 1) return joined(whole(plotCarrierToNoiseHigh), "+");
  const double low =
      plotCarrierToNoiseLow + plotCarrierToNoiseStep * static_cast<double>(colour - 1);
  return joined(whole(low), "-", whole(low + plotCarrierToNoiseStep));
}

// Two lines: the C/N0 colours, then the other marks.
std::string legend(const PlotGeometry& geometry) {
  std::vector<LegendEntry> colourEntries = {
      {LegendMark::none, "", "C/N0, dB-Hz (mean of the bin):", colourCaptionRoom}};
  for (std::size_t colour = 0; colour < colourCount; ++colour) {
    colourEntries.push_back(
        {LegendMark::colourKey, colours[colour], colourClassLabel(colour), colourKeyRoom});
  }
  const std::vector<LegendEntry> markEntries = {
      {LegendMark::lossOfLockStrip, lossOfLockColour, "loss-of-lock flag", 150.0},
      {LegendMark::slipBar, slipColour, "suspected slip", 130.0},
      {LegendMark::colourKey, gapColour, "gap (no epoch in the bin)", 200.0},
      {LegendMark::shortGapLine, shortGapColour, "gap within the bin", 150.0},
      {LegendMark::colourKey, bandColour, "fewest to most satellites; line: mean", 0.0},
  };
  const double top = geometry.panelBottom + axisHeight;
  return joined(legendLine(top, colourEntries), legendLine(top + legendLineHeight, markEntries));
}

std::string heading(const QualityReport& report, const PlotGeometry& geometry) {
  const LogFigures& log = report.log;
  const std::string span =
      log.hasEpochs
          ? joined(gpsTimeText(log.first.gps), " (", calendarText(log.first.calendar), ") to ",
                   gpsTimeText(log.last.gps), " (", calendarText(log.last.calendar), ")")
          : "no epochs";
  const std::string detail =
      joined("interval ", exactSeconds(log.interval), " s, one bin ",
             exactSeconds(report.plot.binWidth), " s; ", summaryText(report));
  return joined(textElement(left, 22, joined("Tracking: ", span, ", GPS time"), "font-size=\"14\""),
                textElement(left, 42, detail),
                textOnlyElement("desc", joined(std::to_string(geometry.rows), " satellites, ",
                                               std::to_string(geometry.bins), " bins")));
}

}  // namespace

void writeTrackingPlot(OutputSink& out, const QualityReport& report) {
  const PlotGeometry geometry = plotGeometryOf(report);
  out.write(svgStart(width, geometry.height, "font-family=\"sans-serif\" font-size=\"11\""));
  out.write(textOnlyElement("title", "Tracking plot"));
  out.write(backgroundElement(backgroundColour));
  out.write(heading(report, geometry));
  out.write(gapMarks(report, geometry));
  out.write(satelliteRows(report, geometry));
  out.write(satelliteCounts(report, geometry));
  out.write(timeAxis(report, geometry));
  out.write(legend(geometry));
  out.write(svgEnd());
}

}  // namespace kapolex
