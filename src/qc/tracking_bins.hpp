// The tracking plot's data, decimated while the log is read: time is cut
// into at most plotBinLimit bins, and each bin holds, per satellite, how
// many of its epochs were seen, their C/N0, loss-of-lock records and slips,
// and for the receiver its epochs, satellites per epoch and longest step.
// When an epoch falls past the last bin, neighbouring bins are merged two by
// two and the bin width doubles: the memory stays the same for any log.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/measurement.hpp"
#include "qc/bin_grid.hpp"
#include "qc/timeline.hpp"

namespace kapolex {

constexpr std::size_t plotBinLimit = 1024;
// The width of the first bins; it doubles as the log grows.
constexpr std::int64_t plotFirstBinWidth = nanosPerSecond;

// One satellite in one time bin, in 16 bytes: every channel adds to one.
// The C/N0 of a record is its signal byte, a count of quarter dB-Hz; 32 bits
// hold the sum of 16 million records, far more than a bin of any log gets.
struct PlotCell {
  std::uint32_t epochs = 0;
  std::uint32_t lossOfLock = 0;
  std::uint32_t slips = 0;
  std::uint32_t signalQuarters = 0;  // C/N0 sum, quarter dB-Hz

  double meanCarrierToNoise() const {
    return 0.25 * static_cast<double>(signalQuarters) / static_cast<double>(epochs);
  }
};

// A satellite's cells added up over the whole log.
struct CellTotals {
  std::int64_t epochs = 0;
  std::int64_t lossOfLock = 0;
  std::int64_t signalQuarters = 0;
};

// The receiver in one time bin.
struct PlotBin {
  std::uint32_t epochs = 0;
  std::uint32_t fewestSatellites = 0;
  std::uint32_t mostSatellites = 0;
  std::uint64_t channels = 0;    // channel records, for the mean per epoch
  std::int64_t longestStep = 0;  // ns, the longest step that ended in the bin
};

// What the plot draws: bins of equal width from the log's first epoch.
struct TrackingPlotData {
  TimelineAnchor origin;      // instant 0, the first epoch
  std::int64_t binWidth = 0;  // ns
  std::int64_t interval = 0;  // ns, the nominal interval
  std::int64_t span = 0;      // ns from the first to the last epoch
  std::vector<PlotBin> bins;
  BinGrid<PlotCell> cells;  // a row for each of the bins

  // Counts a suspected slip of a satellite (PRN - 1) at instant t in its
  // bin; one outside the bins is not drawn.
  void addSlip(std::int64_t t, std::size_t satellite);
};

class TrackingBins {
 public:
  TrackingBins();
  // The current bin and row point into the bins' own storage, so a copy
  // would write into the original's.
  TrackingBins(const TrackingBins&) = delete;
  TrackingBins& operator=(const TrackingBins&) = delete;

  // Counts an epoch at instant t whose step from the previous epoch was
  // `step` (0 when none) and returns its bin's row of cells, indexed by
  // PRN - 1, for the channels to be counted in. Inline: a new bin is
  // needed only every few epochs.
  BinGrid<PlotCell>::Row addEpoch(std::int64_t t, std::uint32_t satellites, std::int64_t step) {
    if (t < binStart_ || t >= binEnd_) selectBin(t);
    PlotBin& bin = *bin_;
    if (bin.epochs == 0 || satellites < bin.fewestSatellites) bin.fewestSatellites = satellites;
    if (satellites > bin.mostSatellites) bin.mostSatellites = satellites;
    ++bin.epochs;
    bin.channels += satellites;
    if (step > bin.longestStep) bin.longestStep = step;
    return row_;
  }

  // The cells of a satellite (PRN - 1) added up, those of epochs that were
  // not drawn too.
  CellTotals totals(std::size_t satellite) const;

  // Counts a suspected slip of a satellite (PRN - 1) at instant t.
  void addSlip(std::int64_t t, std::size_t satellite);

  // The data with bins merged until none is shorter than the nominal
  // interval, so that a bin without epochs always means a gap.
  TrackingPlotData finish(const TimelineAnchor& origin, std::int64_t interval,
                          std::int64_t span) const;

 private:
  void selectBin(std::int64_t t);
  void doubleWidth();

  // Epochs before the first (only a damaged log's time does that) are
  // counted here and not drawn.
  PlotBin discardedBin_;
  std::array<PlotCell, prnCount> discardedRow_{};
  std::int64_t width_ = plotFirstBinWidth;
  std::size_t used_ = 0;  // one past the last bin with an epoch
  // The current bin: an empty one until the first epoch selects its own.
  PlotBin* bin_ = &discardedBin_;
  std::int64_t binStart_ = 0;
  std::int64_t binEnd_ = 0;
  BinGrid<PlotCell>::Row row_{discardedRow_};
  std::vector<PlotBin> bins_;
  BinGrid<PlotCell> cells_;
};

// Data whose bins are merged `factor` at a time.
TrackingPlotData mergeBins(const TrackingPlotData& data, std::size_t factor);

}  // namespace kapolex
