// The quality check of a receiver log: fed every measurement message in log
// order, it gathers the figures of the log and of each satellite, suspected
// cycle slips and the tracking plot's data. It keeps no epoch: its memory is
// per-satellite figures, step histograms with an entry limit and the plot's
// fixed bins, the same for any length of log. The work per channel is a few
// array updates, so that checking costs little next to the conversion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/measurement.hpp"
#include "qc/quality_report.hpp"
#include "qc/slip_detector.hpp"
#include "qc/step_histogram.hpp"
#include "qc/timeline.hpp"
#include "qc/tracking_bins.hpp"
#include "receiver_log/message_counts.hpp"

namespace kapolex {

// Distinct steps kept for the log and for each satellite. A sound log has a
// handful of steps of its own; a satellite has one more for every time it
// comes back after setting, so that in logs of months it runs out of room,
// and its further steps are classified against the interval as it stands
// (which is the final one in any log whose interval does not change).
constexpr std::size_t logStepLimit = 256;
constexpr std::size_t satelliteStepLimit = 128;

struct QualityCheckSettings {
  // Suspected slips listed one by one in the report; all are counted.
  std::size_t slipListLimit = 100;
};

class QualityCheck {
 public:
  explicit QualityCheck(const QualityCheckSettings& settings = {});

  // Counts a measurement message whose receive time is negative, not a
  // number or too large: it has no epoch.
  void addUnusable();

  // Takes a usable epoch, decoded in full, in log order; written tells
  // whether the observation file keeps it.
  void addEpoch(const MeasurementEpoch& epoch, bool written);

  // The report at the end of the log, with the message counts of the run.
  QualityReport finish(const MessageCounts& counts) const;

 private:
  // No step yet: the satellite's first record is still to come.
  static constexpr std::int64_t noStep = std::numeric_limits<std::int64_t>::min();

  // What every record of a satellite reads and writes, in one cache line:
  // its previous record and the figures that the plot's cells do not sum
  // (they alone sum epochs, loss-of-lock records and C/N0). Its steps are
  // counted here while they repeat, and go to its histogram when they
  // change.
  struct alignas(64) Track {
    std::int64_t lastAt = 0;
    std::int64_t runStep = noStep;
    std::int64_t runCount = 0;
    double lastCodeMinusCarrier = 0.0;
    double carrierToNoiseMin = std::numeric_limits<double>::infinity();
    double carrierToNoiseMax = -std::numeric_limits<double>::infinity();
    std::int64_t rollovers = 0;
  };

  // What only a satellite's first record and rarer events touch.
  struct TrackNotes {
    bool seen = false;
    std::int64_t firstAt = 0;
    // Steps past the histogram's limit, classified when they came.
    std::int64_t unlistedArcEnds = 0;
    std::int64_t unlistedSlips = 0;
  };

  struct ListedSlip {
    std::size_t satellite = 0;  // PRN - 1
    SlipCandidate slip;
  };

  // Gaps among steps past the log histogram's limit.
  struct UnlistedGaps {
    std::int64_t steps = 0;
    std::int64_t gaps = 0;
    std::int64_t epochs = 0;
    std::int64_t longest = 0;
    std::int64_t longestFrom = 0;
  };

  std::int64_t addLogStep(double receiveTime, std::int64_t at);
  std::int64_t addOtherLogStep(double receiveTime, std::int64_t step);
  void noteLogStep(std::size_t entry, std::int64_t step);
  void addUnlistedGap(std::int64_t step);
  void addChannel(const ChannelMeasurement& channel, std::int64_t at, BinGrid<PlotCell>::Row row,
                  bool sampled);
  bool addNewStep(std::size_t satellite, std::int64_t step, std::int64_t at);
  std::size_t endRun(std::size_t satellite);
  void judgeJump(std::size_t satellite, SlipCandidate candidate);
  void recordSlip(std::size_t satellite, const SlipCandidate& slip);
  std::int64_t runningInterval() const;

  void addLateSlips(std::size_t satellite, std::int64_t interval, SatelliteFigures& figures,
                    TrackingPlotData& plot, std::vector<ListedSlip>& found) const;
  std::vector<SuspectedSlip> listedSlips(std::vector<ListedSlip> found) const;
  LogFigures logFigures(const MessageCounts& counts, std::int64_t interval) const;
  void addGaps(LogFigures& figures, std::int64_t interval) const;
  SatelliteFigures satelliteFigures(std::size_t satellite, const LogFigures& log,
                                    std::int64_t interval, const CellTotals& totals) const;
  void countArcsAndSlips(std::size_t satellite, std::int64_t interval,
                         SatelliteFigures& figures) const;
  ReportTime reportTime(std::int64_t at) const;

  QualityCheckSettings settings_;
  TimelineAnchor anchor_;
  std::int64_t epochs_ = 0;
  std::int64_t written_ = 0;
  std::int64_t unusable_ = 0;
  std::int64_t repeated_ = 0;
  std::int64_t backward_ = 0;
  std::int64_t rollovers_ = 0;
  std::int64_t channels_ = 0;
  GpsTime first_;
  GpsTime last_;
  std::int64_t lastAt_ = 0;
  StepHistogram logSteps_{logStepLimit};
  std::size_t modeEntry_ = StepHistogram::full;
  UnlistedGaps unlisted_;
  std::array<Track, prnCount> tracks_{};
  std::array<TrackNotes, prnCount> notes_{};
  std::vector<StepHistogram> satelliteSteps_;
  SlipDetector slips_;
  // Slips found so far and not yet known to cross an arc's end; the list
  // holds the first few.
  std::vector<ListedSlip> listed_;
  TrackingBins plot_;
};

}  // namespace kapolex
