#include "qc/tracking_bins.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace kapolex {
namespace {

constexpr std::int64_t second = nanosPerSecond;

struct Epoch {
  std::int64_t at;
  std::uint32_t satellites;
  std::int64_t step;
};

// Bins fed these epochs, each with a record of the satellite with index 0
// at a C/N0 of 40 dB-Hz. The bins point into themselves, so they stay
// where they were made.
std::unique_ptr<TrackingBins> binsOf(const std::vector<Epoch>& epochs) {
  auto bins = std::make_unique<TrackingBins>();
  for (const Epoch& epoch : epochs) {
    PlotCell& cell = bins->addEpoch(epoch.at, epoch.satellites, epoch.step)[0];
    ++cell.epochs;
    cell.signalQuarters += 160;
  }
  return bins;
}

std::vector<std::uint32_t> epochsByBin(const TrackingPlotData& data) {
  std::vector<std::uint32_t> epochs;
  for (const PlotBin& bin : data.bins) epochs.push_back(bin.epochs);
  return epochs;
}

TEST(TrackingBins, EpochsFallIntoBinsThatWidenAsTheLogGrows) {
  struct Case {
    const char* name;
    std::vector<Epoch> fed;
    std::int64_t binWidth;
    std::vector<std::uint32_t> byBin;  // epochs
  };
  constexpr auto limit = static_cast<std::int64_t>(plotBinLimit);
  const Case cases[] = {
      {"one bin's edges", {{0, 5, 0}, {second - 1, 5, 0}, {second, 5, 0}}, second, {2, 1}},
      {"a gap", {{0, 5, 0}, {3 * second, 5, 0}}, second, {1, 0, 0, 1}},
      {"the last bin",
       {{0, 5, 0}, {limit * second - 1, 5, 0}},
       second,
       [] {
         std::vector<std::uint32_t> epochs(plotBinLimit);
         epochs.front() = epochs.back() = 1;
         return epochs;
       }()},
      // Past the last bin the bins merge two by two: bins 0 and 1 become 0.
      {"one past the last bin",
       {{0, 5, 0}, {second, 5, 0}, {limit * second, 5, 0}},
       2 * second,
       [] {
         std::vector<std::uint32_t> epochs(plotBinLimit / 2 + 1);
         epochs.front() = 2;
         epochs.back() = 1;
         return epochs;
       }()},
      {"four times the bins",
       {{0, 5, 0}, {4 * limit * second, 5, 0}},
       8 * second,
       [] {
         std::vector<std::uint32_t> epochs(plotBinLimit / 2 + 1);
         epochs.front() = epochs.back() = 1;
         return epochs;
       }()},
      {"before the first epoch", {{0, 5, 0}, {-second, 5, 0}, {second, 5, 0}}, second, {1, 1}},
  };
  for (const Case& c : cases) {
    const TrackingPlotData data = binsOf(c.fed)->finish({}, 0, 0);
    EXPECT_EQ(data.binWidth, c.binWidth) << c.name;
    EXPECT_EQ(epochsByBin(data), c.byBin) << c.name;
    ASSERT_EQ(data.cells.rows(), data.bins.size()) << c.name;
    for (std::size_t bin = 0; bin < data.bins.size(); ++bin) {
      EXPECT_EQ(data.cells.at(bin, 0).epochs, data.bins[bin].epochs) << c.name << " " << bin;
    }
  }
}

TEST(TrackingBins, ABinKeepsItsFewestAndMostSatellitesAndLongestStep) {
  const TrackingPlotData data =
      binsOf({{0, 7, 0}, {second / 4, 4, 250}, {second / 2, 9, 500}, {second, 6, 100}})
          ->finish({}, 0, 0);
  ASSERT_EQ(data.bins.size(), 2U);
  const PlotBin& first = data.bins[0];
  EXPECT_EQ(first.epochs, 3U);
  EXPECT_EQ(first.fewestSatellites, 4U);
  EXPECT_EQ(first.mostSatellites, 9U);
  EXPECT_EQ(first.channels, 20U);
  EXPECT_EQ(first.longestStep, 500);
  EXPECT_EQ(data.bins[1].fewestSatellites, 6U);
  EXPECT_EQ(data.bins[1].longestStep, 100);
}

TEST(TrackingBins, TheEndMergesBinsUntilNoneIsShorterThanTheInterval) {
  struct Case {
    std::int64_t interval, binWidth;
    std::size_t bins;
  };
  // Ten epochs a second apart.
  const Case cases[] = {{0, second, 10},
                        {second, second, 10},
                        {second + 1, 2 * second, 5},
                        {5 * second, 8 * second, 2},
                        {30 * second, 32 * second, 1}};
  std::vector<Epoch> epochs;
  for (std::int64_t at = 0; at < 10; ++at) epochs.push_back({at * second, 3, second});
  const auto bins = binsOf(epochs);
  for (const Case& c : cases) {
    const TrackingPlotData data = bins->finish({}, c.interval, 9 * second);
    EXPECT_EQ(data.binWidth, c.binWidth) << c.interval;
    EXPECT_EQ(data.bins.size(), c.bins) << c.interval;
    EXPECT_EQ(data.interval, c.interval);
    EXPECT_EQ(data.span, 9 * second);
    std::uint32_t total = 0;
    for (const PlotBin& bin : data.bins) total += bin.epochs;
    EXPECT_EQ(total, 10U) << c.interval;
  }
}

TEST(TrackingBins, SlipsAndTotalsGoByTheSatellite) {
  const auto bins = binsOf({{0, 1, 0}, {-second, 1, 0}, {3 * second, 1, 0}});
  // Before the first epoch a slip is not drawn; past the last one neither.
  const std::int64_t slips[] = {0, 3 * second + 1, -1, 3 * second, 4 * second};
  for (const std::int64_t at : slips) bins->addSlip(at, 5);
  const TrackingPlotData data = bins->finish({}, 0, 3 * second);
  ASSERT_EQ(data.bins.size(), 4U);
  EXPECT_EQ(data.cells.at(0, 5).slips, 1U);
  EXPECT_EQ(data.cells.at(3, 5).slips, 2U);
  EXPECT_EQ(data.cells.at(3, 0).slips, 0U);
  // Totals count the epoch before the first, which no bin draws.
  const CellTotals totals = bins->totals(0);
  EXPECT_EQ(totals.epochs, 3);
  EXPECT_EQ(totals.signalQuarters, 480);
  EXPECT_EQ(bins->totals(5).epochs, 0);
  // The finished data counts a late slip by the same rule.
  TrackingPlotData late = data;
  for (const std::int64_t at : slips) late.addSlip(at, 6);
  EXPECT_EQ(late.cells.at(3, 6).slips, 2U);
}

TEST(TrackingBins, MergingAddsCellsAndKeepsExtremes) {
  TrackingPlotData data = binsOf({{0, 3, 0}, {second, 8, 4}, {2 * second, 5, 2}})->finish({}, 0, 0);
  data.cells.at(1, 2).slips = 2;
  const TrackingPlotData merged = mergeBins(data, 2);
  ASSERT_EQ(merged.bins.size(), 2U);
  EXPECT_EQ(merged.binWidth, 2 * second);
  EXPECT_EQ(merged.bins[0].epochs, 2U);
  EXPECT_EQ(merged.bins[0].fewestSatellites, 3U);
  EXPECT_EQ(merged.bins[0].mostSatellites, 8U);
  EXPECT_EQ(merged.bins[0].longestStep, 4);
  EXPECT_EQ(merged.cells.at(0, 0).signalQuarters, 320U);
  EXPECT_EQ(merged.cells.at(0, 2).slips, 2U);
  EXPECT_EQ(merged.bins[1].epochs, 1U);
  EXPECT_EQ(merged.cells.at(1, 0).epochs, 1U);
}

}  // namespace
}  // namespace kapolex
