#include "qc/quality_check.hpp"

#include <algorithm>
#include <cassert>
#include <utility>

#include "common/gps_constants.hpp"
#include "qc/report_format.hpp"

namespace kapolex {

namespace {

// Sums and products of counts that only a damaged log could push past 64
// bits stop at the largest value instead.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::int64_t>::max() : sum;
}

std::int64_t saturatingMultiply(std::int64_t a, std::int64_t b) {
  std::int64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::int64_t>::max()
                                                : product;
}

ReportTime datedTime(const GpsTime& time) {
  return {time, calendarOf(time)};
}

}  // namespace

QualityCheck::QualityCheck(const QualityCheckSettings& settings) : settings_(settings) {
  satelliteSteps_.reserve(prnCount);
  for (std::size_t p = 0; p < prnCount; ++p) satelliteSteps_.emplace_back(satelliteStepLimit);
  listed_.reserve(settings_.slipListLimit);
}

void QualityCheck::addUnusable() {
  ++unusable_;
}

void QualityCheck::addEpoch(const MeasurementEpoch& epoch, bool written) {
  std::int64_t at = 0;
  std::int64_t step = 0;
  if (epochs_ == 0) {
    anchor_ = TimelineAnchor(epoch.week, epoch.receiveTime);
    first_ = {epoch.week, epoch.receiveTime};
  } else {
    at = anchor_.instant(epoch.week, epoch.receiveTime);
    step = addLogStep(epoch.receiveTime, at);
  }
  last_ = {epoch.week, epoch.receiveTime};
  lastAt_ = at;
  ++epochs_;
  written_ += written ? 1 : 0;
  const auto count = static_cast<std::size_t>(epoch.channelCount);
  channels_ += epoch.channelCount;
  const BinGrid<PlotCell>::Row row = plot_.addEpoch(at, static_cast<std::uint32_t>(count), step);
  const bool sampled = epochs_ % noiseSampleSpacing == 0;
  for (std::size_t k = 0; k < count; ++k) addChannel(epoch.channels[k], at, row, sampled);
}

// Counts the step to the epoch at instant `at` and returns it, or 0 for a
// repeated or backward time, which makes no step. Inline: nearly every
// epoch is later than the last in the same week, by the step that is
// already the mode.
inline std::int64_t QualityCheck::addLogStep(double receiveTime, std::int64_t at) {
  const std::int64_t step = at - lastAt_;
  if (receiveTime > last_.secondsOfWeek && step > 0) {
    const std::size_t entry = logSteps_.add(step, lastAt_);
    if (entry != modeEntry_) noteLogStep(entry, step);
    return step;
  }
  return addOtherLogStep(receiveTime, step);
}

// A repeated or backward time, a week rollover, or a later time that the
// timeline's week limit makes no step.
std::int64_t QualityCheck::addOtherLogStep(double receiveTime, std::int64_t step) {
  const TimeStep kind = classifyTimeStep(last_.secondsOfWeek, receiveTime);
  if (kind == TimeStep::repeated) {
    ++repeated_;
    return 0;
  }
  if (kind == TimeStep::backward || step <= 0) {
    ++backward_;
    return 0;
  }
  if (kind == TimeStep::weekRollover) ++rollovers_;
  noteLogStep(logSteps_.add(step, lastAt_), step);
  return step;
}

// A step counted in an entry other than the mode's, or in none.
void QualityCheck::noteLogStep(std::size_t entry, std::int64_t step) {
  if (entry == StepHistogram::full) {
    addUnlistedGap(step);
  } else if (modeEntry_ == StepHistogram::full ||
             moreCommon(logSteps_.entry(entry), logSteps_.entry(modeEntry_))) {
    modeEntry_ = entry;
  }
}

void QualityCheck::addUnlistedGap(std::int64_t step) {
  ++unlisted_.steps;
  const std::int64_t missing = missingEpochs(step, runningInterval());
  if (missing == 0) return;
  ++unlisted_.gaps;
  unlisted_.epochs = saturatingAdd(unlisted_.epochs, missing);
  if (missing > unlisted_.longest) {
    unlisted_.longest = missing;
    unlisted_.longestFrom = lastAt_;
  }
}

std::int64_t QualityCheck::runningInterval() const {
  return modeEntry_ == StepHistogram::full ? 0 : logSteps_.entry(modeEntry_).step;
}

// Inline: it runs for every channel. The common case, a satellite whose
// step is the one it took last time, takes no call and no rare branch.
inline void QualityCheck::addChannel(const ChannelMeasurement& channel, std::int64_t at,
                                     BinGrid<PlotCell>::Row row, bool sampled) {
  assert(channel.prn >= 1 && channel.prn <= prnCount);
  const auto satellite = static_cast<std::size_t>(channel.prn - 1);
  Track& track = tracks_[satellite];
  const double codeMinusCarrier = channel.pseudorange - l1Wavelength * channel.carrierPhase;
  const bool lockKept = channel.lossOfLock != lossOfLockSet;
  const std::int64_t step = at - track.lastAt;
  const double jump = codeMinusCarrier - track.lastCodeMinusCarrier;
  track.lastAt = at;
  track.lastCodeMinusCarrier = codeMinusCarrier;
  track.rollovers += channel.rolloverStep != 0 ? 1 : 0;
  track.carrierToNoiseMin = std::min(track.carrierToNoiseMin, channel.carrierToNoise);
  track.carrierToNoiseMax = std::max(track.carrierToNoiseMax, channel.carrierToNoise);
  PlotCell& cell = row[satellite];
  ++cell.epochs;
  cell.lossOfLock += lockKept ? 0 : 1;
  // The signal byte again, exactly: C/N0 is a whole number of quarters.
  cell.signalQuarters += static_cast<std::uint32_t>(channel.carrierToNoise * 4.0);
  if (step == track.runStep) {
    ++track.runCount;
  } else if (!addNewStep(satellite, step, at)) {
    return;
  }
  // A record with the loss-of-lock flag is a discontinuity the receiver
  // reported: its jump is neither noise nor a suspected slip.
  if (lockKept && slips_.count(satellite, jump, sampled)) [[unlikely]]
    judgeJump(satellite, {at, step, 0, jump});
}

// Starts a run of a new step; false for the satellite's first record,
// which has no step.
bool QualityCheck::addNewStep(std::size_t satellite, std::int64_t step, std::int64_t at) {
  TrackNotes& notes = notes_[satellite];
  if (!notes.seen) {
    notes.seen = true;
    notes.firstAt = at;
    return false;
  }
  Track& track = tracks_[satellite];
  if (track.runCount > 0) endRun(satellite);
  track.runStep = step;
  track.runCount = 1;
  return true;
}

// Counts the satellite's run of equal steps into its histogram and returns
// the run's entry; the run goes on from a count of 0.
std::size_t QualityCheck::endRun(std::size_t satellite) {
  Track& track = tracks_[satellite];
  const std::size_t entry = satelliteSteps_[satellite].add(track.runStep, 0, track.runCount);
  if (entry == StepHistogram::full) {
    if (endsArc(track.runStep, runningInterval())) {
      notes_[satellite].unlistedArcEnds += track.runCount;
    }
  }
  track.runCount = 0;
  return entry;
}

void QualityCheck::judgeJump(std::size_t satellite, SlipCandidate candidate) {
  candidate.stepEntry = endRun(satellite);
  for (const SlipCandidate& slip : slips_.judge(satellite, candidate)) recordSlip(satellite, slip);
}

void QualityCheck::recordSlip(std::size_t satellite, const SlipCandidate& slip) {
  // Whether the step lies inside an arc is settled at the end, against the
  // final interval; the plot and the list go by the interval as it stands.
  const bool inArc = !endsArc(slip.step, runningInterval());
  if (slip.stepEntry != StepHistogram::full) {
    satelliteSteps_[satellite].mark(slip.stepEntry);
  } else if (inArc) {
    ++notes_[satellite].unlistedSlips;
  }
  if (!inArc) return;
  plot_.addSlip(slip.at, satellite);
  if (listed_.size() < settings_.slipListLimit) listed_.push_back({satellite, slip});
}

QualityReport QualityCheck::finish(const MessageCounts& counts) const {
  QualityReport report;
  const std::int64_t interval = logSteps_.mode();
  report.log = logFigures(counts, interval);
  report.plot = plot_.finish(anchor_, interval, lastAt_);
  std::vector<ListedSlip> found;
  for (const ListedSlip& listed : listed_) {
    if (!endsArc(listed.slip.step, interval)) found.push_back(listed);
  }
  for (std::size_t satellite = 0; satellite < prnCount; ++satellite) {
    if (!notes_[satellite].seen) continue;
    SatelliteFigures figures =
        satelliteFigures(satellite, report.log, interval, plot_.totals(satellite));
    addLateSlips(satellite, interval, figures, report.plot, found);
    report.slips += figures.slips;
    report.satellites.push_back(figures);
  }
  report.listedSlips = listedSlips(std::move(found));
  return report;
}

// Counts the satellite's candidates that its detector judges only now, as
// they waited for a noise estimate the satellite never had.
void QualityCheck::addLateSlips(std::size_t satellite, std::int64_t interval,
                                SatelliteFigures& figures, TrackingPlotData& plot,
                                std::vector<ListedSlip>& found) const {
  for (const SlipCandidate& slip : slips_.lateSlips(satellite)) {
    if (endsArc(slip.step, interval)) continue;
    ++figures.slips;
    found.push_back({satellite, slip});
    plot.addSlip(slip.at, satellite);
  }
}

// The first slips found, in time order and by PRN at equal times.
std::vector<SuspectedSlip> QualityCheck::listedSlips(std::vector<ListedSlip> found) const {
  std::sort(found.begin(), found.end(), [](const ListedSlip& a, const ListedSlip& b) {
    return a.slip.at != b.slip.at ? a.slip.at < b.slip.at : a.satellite < b.satellite;
  });
  if (found.size() > settings_.slipListLimit) found.resize(settings_.slipListLimit);
  std::vector<SuspectedSlip> listed;
  listed.reserve(found.size());
  for (const ListedSlip& slip : found) {
    listed.push_back(
        {static_cast<int>(slip.satellite + 1), reportTime(slip.slip.at), slip.slip.jump});
  }
  return listed;
}

LogFigures QualityCheck::logFigures(const MessageCounts& counts, std::int64_t interval) const {
  LogFigures figures;
  figures.hasEpochs = epochs_ > 0;
  if (figures.hasEpochs) {
    figures.first = datedTime(first_);
    figures.last = datedTime(last_);
  }
  figures.interval = interval;
  figures.epochs = epochs_;
  addGaps(figures, interval);
  figures.expectedEpochs = saturatingAdd(epochs_ - repeated_ - backward_, figures.gapEpochs);
  figures.repeatedTimes = repeated_;
  figures.backwardTimes = backward_;
  figures.weekRollovers = rollovers_;
  figures.unusableTimes = unusable_;
  figures.epochsWritten = written_;
  figures.unlistedSteps = unlisted_.steps;
  figures.channelRecords = channels_;
  figures.meanSatellites =
      epochs_ > 0 ? static_cast<double>(channels_) / static_cast<double>(epochs_) : 0.0;
  for (int id = 0; id < messageIdCount; ++id) {
    if (counts[id] > 0) figures.messages.push_back({id, counts[id]});
  }
  return figures;
}

void QualityCheck::addGaps(LogFigures& figures, std::int64_t interval) const {
  std::int64_t longestFrom = unlisted_.longestFrom;
  figures.gaps = unlisted_.gaps;
  figures.gapEpochs = unlisted_.epochs;
  figures.longestGapEpochs = unlisted_.longest;
  for (const StepEntry& entry : logSteps_.entries()) {
    const std::int64_t missing = missingEpochs(entry.step, interval);
    if (missing == 0) continue;
    figures.gaps += entry.count;
    figures.gapEpochs = saturatingAdd(figures.gapEpochs, saturatingMultiply(missing, entry.count));
    if (missing > figures.longestGapEpochs ||
        (missing == figures.longestGapEpochs && entry.firstAt < longestFrom)) {
      figures.longestGapEpochs = missing;
      longestFrom = entry.firstAt;
    }
  }
  if (figures.longestGapEpochs > 0) figures.longestGapStart = reportTime(longestFrom + interval);
}

SatelliteFigures QualityCheck::satelliteFigures(std::size_t satellite, const LogFigures& log,
                                                std::int64_t interval,
                                                const CellTotals& totals) const {
  const Track& track = tracks_[satellite];
  const TrackNotes& notes = notes_[satellite];
  SatelliteFigures figures;
  figures.prn = static_cast<int>(satellite + 1);
  figures.epochs = totals.epochs;
  figures.spanShare = log.expectedEpochs > 0 ? static_cast<double>(figures.epochs) /
                                                   static_cast<double>(log.expectedEpochs)
                                             : 0.0;
  countArcsAndSlips(satellite, interval, figures);
  figures.first = reportTime(notes.firstAt);
  figures.last = reportTime(track.lastAt);
  figures.lossOfLock = totals.lossOfLock;
  figures.carrierToNoiseMean =
      0.25 * static_cast<double>(totals.signalQuarters) / static_cast<double>(figures.epochs);
  figures.carrierToNoiseMin = track.carrierToNoiseMin;
  figures.carrierToNoiseMax = track.carrierToNoiseMax;
  figures.rollovers = track.rollovers;
  const SlipDetector::Settled settled = slips_.settled(satellite);
  figures.jumpNoise = settled.noise;
  figures.slipThreshold = settled.threshold;
  return figures;
}

// The satellite's arcs and the slips inside them, from its steps against
// the final interval.
void QualityCheck::countArcsAndSlips(std::size_t satellite, std::int64_t interval,
                                     SatelliteFigures& figures) const {
  const Track& track = tracks_[satellite];
  const TrackNotes& notes = notes_[satellite];
  figures.arcs = 1 + notes.unlistedArcEnds;
  // The steps still being counted have no slips: a candidate ends the run.
  if (track.runCount > 0 && endsArc(track.runStep, interval)) figures.arcs += track.runCount;
  figures.slips = notes.unlistedSlips;
  for (const StepEntry& entry : satelliteSteps_[satellite].entries()) {
    if (endsArc(entry.step, interval)) {
      figures.arcs += entry.count;
    } else {
      figures.slips += entry.marks;
    }
  }
}

ReportTime QualityCheck::reportTime(std::int64_t at) const {
  return datedTime(anchor_.timeOf(at));
}

}  // namespace kapolex
