#include "qc/tracking_bins.hpp"

#include <algorithm>
#include <array>

namespace kapolex {

namespace {

void mergeInto(PlotBin& into, const PlotBin& from) {
  if (from.epochs == 0) return;
  if (into.epochs == 0 || from.fewestSatellites < into.fewestSatellites) {
    into.fewestSatellites = from.fewestSatellites;
  }
  into.mostSatellites = std::max(into.mostSatellites, from.mostSatellites);
  into.epochs += from.epochs;
  into.channels += from.channels;
  into.longestStep = std::max(into.longestStep, from.longestStep);
}

void mergeInto(PlotCell& into, const PlotCell& from) {
  into.epochs += from.epochs;
  into.lossOfLock += from.lossOfLock;
  into.slips += from.slips;
  into.signalQuarters += from.signalQuarters;
}

// Counts a suspected slip at instant t into the cells of bins `width` wide;
// one before the first bin or past the last is not counted.
void countSlip(BinGrid<PlotCell>& cells, std::int64_t width, std::int64_t t,
               std::size_t satellite) {
  if (t < 0) return;
  const auto bin = static_cast<std::size_t>(t / width);
  if (bin < cells.rows()) ++cells.at(bin, satellite).slips;
}

// Merges bins [i * factor, (i + 1) * factor) into bin i, in place, for the
// first `count` bins; returns the new count.
std::size_t mergeInPlace(std::vector<PlotBin>& bins, BinGrid<PlotCell>& cells, std::size_t count,
                         std::size_t factor) {
  const std::size_t merged = (count + factor - 1) / factor;
  for (std::size_t i = 0; i < merged; ++i) {
    PlotBin bin;
    std::array<PlotCell, prnCount> row{};
    for (std::size_t j = i * factor; j < std::min(count, (i + 1) * factor); ++j) {
      mergeInto(bin, bins[j]);
      const BinGrid<PlotCell>::Row from = cells.row(j);
      for (std::size_t p = 0; p < prnCount; ++p) mergeInto(row[p], from[p]);
    }
    bins[i] = bin;
    std::copy(row.begin(), row.end(), cells.row(i).begin());
  }
  std::fill(bins.begin() + static_cast<std::ptrdiff_t>(merged),
            bins.begin() + static_cast<std::ptrdiff_t>(count), PlotBin{});
  cells.clear(merged, count);
  return merged;
}

}  // namespace

void TrackingPlotData::addSlip(std::int64_t t, std::size_t satellite) {
  countSlip(cells, binWidth, t, satellite);
}

TrackingBins::TrackingBins() : bins_(plotBinLimit), cells_(plotBinLimit) {}

void TrackingBins::doubleWidth() {
  used_ = mergeInPlace(bins_, cells_, used_, 2);
  width_ *= 2;
}

void TrackingBins::selectBin(std::int64_t t) {
  if (t < 0) {
    bin_ = &discardedBin_;
    row_ = discardedRow_;
    binStart_ = 0;
    binEnd_ = 0;
    return;
  }
  while (t / width_ >= static_cast<std::int64_t>(plotBinLimit)) doubleWidth();
  const auto index = static_cast<std::size_t>(t / width_);
  used_ = std::max(used_, index + 1);
  bin_ = &bins_[index];
  row_ = cells_.row(index);
  binStart_ = static_cast<std::int64_t>(index) * width_;
  binEnd_ = binStart_ + width_;
}

void TrackingBins::addSlip(std::int64_t t, std::size_t satellite) {
  countSlip(cells_, width_, t, satellite);
}

CellTotals TrackingBins::totals(std::size_t satellite) const {
  CellTotals sum;
  const auto add = [&sum](const PlotCell& cell) {
    sum.epochs += cell.epochs;
    sum.lossOfLock += cell.lossOfLock;
    sum.signalQuarters += cell.signalQuarters;
  };
  for (std::size_t bin = 0; bin < used_; ++bin) add(cells_.at(bin, satellite));
  add(discardedRow_[satellite]);
  return sum;
}

TrackingPlotData TrackingBins::finish(const TimelineAnchor& origin, std::int64_t interval,
                                      std::int64_t span) const {
  TrackingPlotData data;
  data.origin = origin;
  data.binWidth = width_;
  data.interval = interval;
  data.span = span;
  data.bins.assign(bins_.begin(), bins_.begin() + static_cast<std::ptrdiff_t>(used_));
  data.cells = cells_.head(used_);
  std::size_t factor = 1;
  while (static_cast<std::int64_t>(factor) * width_ < interval && factor < plotBinLimit)
    factor *= 2;
  return factor == 1 ? data : mergeBins(data, factor);
}

TrackingPlotData mergeBins(const TrackingPlotData& data, std::size_t factor) {
  TrackingPlotData merged = data;
  const std::size_t count = mergeInPlace(merged.bins, merged.cells, data.bins.size(), factor);
  merged.bins.resize(count);
  merged.cells.shrink(count);
  merged.binWidth = data.binWidth * static_cast<std::int64_t>(factor);
  return merged;
}

}  // namespace kapolex
