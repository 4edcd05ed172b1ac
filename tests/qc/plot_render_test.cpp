// The tracking plot of a day at 1 Hz with every kind of fault: it stays
// small, is the same on every run, draws one row per satellite and marks
// the gaps, losses of lock and slips; and a real SVG renderer (rsvg-convert)
// turns it into a PNG of the size the document states.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>

#include "qc/tracking_plot.hpp"
#include "qc_feed.hpp"
#include "support/program_run.hpp"
#include "zlogsim_truth.hpp"

namespace kapolex::testing {
namespace {

namespace fs = std::filesystem;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The number of subpaths of the path element with this fill or stroke.
// Searched by hand: a regular expression over path data this long recurses
// past the 2 MiB stack of a Windows program's main thread.
std::size_t subpaths(const std::string& svg, const std::string& paint) {
  const std::string start = "<path d=\"";
  const std::string end = "\" " + paint;
  for (std::size_t at = svg.find(start); at != std::string::npos; at = svg.find(start, at + 1)) {
    const std::size_t data = at + start.size();
    const std::size_t close = svg.find('"', data);
    if (close == std::string::npos) break;
    if (svg.compare(close, end.size(), end) == 0) {
      return count(svg.substr(data, close - data), "M");
    }
  }
  return 0;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(TrackingPlot, DayAt1HzStaysSmallMarksTheFaultsAndRenders) {
  const SimulatedLog run = simulate({"-d", "86400", "--seed", "41", "--mask", "-5", "--slips", "2",
                                     "--lock-loss", "2", "--code-noise", "0.5", "--outage",
                                     "30000,3600", "--outage", "60000,3", "--truth-rows", "no"});
  const QualityReport report = checkLog(run.log, 1356);
  const std::string svg = plotOf(report);
  EXPECT_EQ(svg, plotOf(report)) << "the plot must not change from run to run";
  EXPECT_LT(svg.size(), 300U * 1024U);
  EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
  EXPECT_TRUE(svg.ends_with("</svg>\n"));
  EXPECT_LE(report.plot.bins.size(), plotBinLimit);
  // One row label per satellite, G01 to G32.
  EXPECT_EQ(count(svg, ">G"), report.satellites.size());
  // The hour-long outage is a band; the 3-second one a line within its bin.
  EXPECT_EQ(subpaths(svg, "fill=\"#ffd8a8\""), 1U);
  EXPECT_EQ(subpaths(svg, "stroke=\"#e8590c\""), 1U);
  EXPECT_GT(subpaths(svg, "fill=\"#e4002b\""), 10U) << "losses of lock";
  EXPECT_GT(subpaths(svg, "fill=\"#000000\""), 10U) << "slips";
  EXPECT_NE(svg.find("1356/43200"), std::string::npos) << "a GPS time label";
  EXPECT_NE(svg.find(">12:00<"), std::string::npos) << "a calendar time label";

  const std::optional<fs::path> renderer = onPath("rsvg-convert");
  if (!renderer) GTEST_SKIP() << "rsvg-convert is not installed (Debian: librsvg2-bin)";
  ScratchFolder folder;
  folder.write("plot.svg", svg);
  const ProgramResult rendered =
      runIn(folder, renderer->string(), {"--format", "png", "-o", "plot.png", "plot.svg"}, "");
  ASSERT_EQ(rendered.exitStatus, 0) << rendered.err;
  EXPECT_EQ(rendered.err, "");
  const std::string png = folder.read("plot.png").value_or("");
  ASSERT_GT(png.size(), 24U);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  std::smatch size;
  ASSERT_TRUE(std::regex_search(svg, size, std::regex("width=\"(\\d+)\" height=\"(\\d+)\"")));
  EXPECT_EQ(bigEndian(png, 16), std::stoul(size[1].str()));
  EXPECT_EQ(bigEndian(png, 20), std::stoul(size[2].str()));
}

}  // namespace
}  // namespace kapolex::testing
