#include "qc/quality_check.hpp"

#include <algorithm>
#include <cassert>

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
  std::int64_t t = 0;
  std::int64_t step = 0;
  if (epochs_ == 0) {
    anchor_ = TimelineAnchor(epoch.week, epoch.receiveTime);
    first_ = {epoch.week, epoch.receiveTime};
  } else {
    t = anchor_.instant(epoch.week, epoch.receiveTime);
    step = addLogStep(epoch.receiveTime, t);
  }
  last_ = {epoch.week, epoch.receiveTime};
  lastAt_ = t;
  ++epochs_;
  written_ += written ? 1 : 0;
  const auto count = static_cast<std::size_t>(epoch.channelCount);
  channels_ += epoch.channelCount;
  const BinGrid<PlotCell>::Row row = plot_.addEpoch(t, static_cast<std::uint32_t>(count), step);
  const bool sampled = epochs_ % noiseSampleSpacing == 0;
  for (std::size_t k = 0; k < count; ++k) addChannel(epoch.channels[k], t, row, sampled);
}

// Counts the step to the epoch at t and returns it, or 0 for a repeated or
// backward time, which makes no step. Inline: nearly every epoch is later
// than the last in the same week, by the step that is already the mode.
inline std::int64_t QualityCheck::addLogStep(double receiveTime, std::int64_t t) {
  const std::int64_t step = t - lastAt_;
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
inline void QualityCheck::addChannel(const ChannelMeasurement& channel, std::int64_t t,
                                     BinGrid<PlotCell>::Row row, bool sampled) {
  assert(channel.prn >= 1 && channel.prn <= prnCount);
  const auto p = static_cast<std::size_t>(channel.prn - 1);
  Track& s = tracks_[p];
  const double codeMinusCarrier = channel.pseudorange - l1Wavelength * channel.carrierPhase;
  const bool lockKept = channel.lossOfLock != lossOfLockSet;
  const std::int64_t step = t - s.lastAt;
  const double jump = codeMinusCarrier - s.lastCodeMinusCarrier;
  s.lastAt = t;
  s.lastCodeMinusCarrier = codeMinusCarrier;
  s.rollovers += channel.rolloverStep != 0 ? 1 : 0;
  s.carrierToNoiseMin = std::min(s.carrierToNoiseMin, channel.carrierToNoise);
  s.carrierToNoiseMax = std::max(s.carrierToNoiseMax, channel.carrierToNoise);
  PlotCell& cell = row[p];
  ++cell.epochs;
  cell.lossOfLock += lockKept ? 0 : 1;
  // The signal byte again, exactly: C/N0 is a whole number of quarters.
  cell.signalQuarters += static_cast<std::uint32_t>(channel.carrierToNoise * 4.0);
  if (step == s.runStep) {
    ++s.runCount;
  } else if (!addNewStep(p, step, t)) {
    return;
  }
  // A record with the loss-of-lock flag is a discontinuity the receiver
  // reported: its jump is neither noise nor a suspected slip.
  if (lockKept && slips_.count(p, jump, sampled)) [[unlikely]]
    judgeJump(p, {t, step, 0, jump});
}

// Starts a run of a new step; false for the satellite's first record,
// which has no step.
bool QualityCheck::addNewStep(std::size_t p, std::int64_t step, std::int64_t t) {
  TrackNotes& notes = notes_[p];
  if (!notes.seen) {
    notes.seen = true;
    notes.firstAt = t;
    return false;
  }
  Track& s = tracks_[p];
  if (s.runCount > 0) endRun(p);
  s.runStep = step;
  s.runCount = 1;
  return true;
}

// Counts the satellite's run of equal steps into its histogram and returns
// the run's entry; the run goes on from a count of 0.
std::size_t QualityCheck::endRun(std::size_t p) {
  Track& s = tracks_[p];
  const std::size_t entry = satelliteSteps_[p].add(s.runStep, 0, s.runCount);
  if (entry == StepHistogram::full) {
    if (endsArc(s.runStep, runningInterval())) notes_[p].unlistedArcEnds += s.runCount;
  }
  s.runCount = 0;
  return entry;
}

void QualityCheck::judgeJump(std::size_t p, SlipCandidate candidate) {
  candidate.stepEntry = endRun(p);
  for (const SlipCandidate& slip : slips_.judge(p, candidate)) recordSlip(p, slip);
}

void QualityCheck::recordSlip(std::size_t p, const SlipCandidate& slip) {
  // Whether the step lies inside an arc is settled at the end, against the
  // final interval; the plot and the list go by the interval as it stands.
  const bool inArc = !endsArc(slip.step, runningInterval());
  if (slip.stepEntry != StepHistogram::full) {
    satelliteSteps_[p].mark(slip.stepEntry);
  } else if (inArc) {
    ++notes_[p].unlistedSlips;
  }
  if (!inArc) return;
  plot_.addSlip(slip.at, p);
  if (listed_.size() < settings_.slipListLimit) listed_.push_back({p, slip});
}

QualityReport QualityCheck::finish(const MessageCounts& counts) const {
  QualityReport report;
  const std::int64_t interval = logSteps_.mode();
  report.log = logFigures(counts, interval);
  report.plot = plot_.finish(anchor_, interval, lastAt_);
  std::vector<ListedSlip> found;
  for (const ListedSlip& l : listed_) {
    if (!endsArc(l.slip.step, interval)) found.push_back(l);
  }
  for (std::size_t p = 0; p < prnCount; ++p) {
    if (!notes_[p].seen) continue;
    SatelliteFigures figures = satelliteFigures(p, report.log, interval, plot_.totals(p));
    for (const SlipCandidate& c : slips_.lateSlips(p)) {
      if (endsArc(c.step, interval)) continue;
      ++figures.slips;
      found.push_back({p, c});
      report.plot.addSlip(c.at, p);
    }
    report.slips += figures.slips;
    report.satellites.push_back(figures);
  }
  std::sort(found.begin(), found.end(), [](const ListedSlip& a, const ListedSlip& b) {
    return a.slip.at != b.slip.at ? a.slip.at < b.slip.at : a.p < b.p;
  });
  if (found.size() > settings_.slipListLimit) found.resize(settings_.slipListLimit);
  for (const ListedSlip& l : found) {
    report.listedSlips.push_back({static_cast<int>(l.p + 1), reportTime(l.slip.at), l.slip.jump});
  }
  return report;
}

LogFigures QualityCheck::logFigures(const MessageCounts& counts, std::int64_t interval) const {
  LogFigures f;
  f.hasEpochs = epochs_ > 0;
  if (f.hasEpochs) {
    f.first = datedTime(first_);
    f.last = datedTime(last_);
  }
  f.interval = interval;
  f.epochs = epochs_;
  addGaps(f, interval);
  f.expectedEpochs = saturatingAdd(epochs_ - repeated_ - backward_, f.gapEpochs);
  f.repeatedTimes = repeated_;
  f.backwardTimes = backward_;
  f.weekRollovers = rollovers_;
  f.unusableTimes = unusable_;
  f.epochsWritten = written_;
  f.unlistedSteps = unlisted_.steps;
  f.channelRecords = channels_;
  f.meanSatellites =
      epochs_ > 0 ? static_cast<double>(channels_) / static_cast<double>(epochs_) : 0.0;
  for (int id = 0; id < messageIdCount; ++id) {
    if (counts[id] > 0) f.messages.push_back({id, counts[id]});
  }
  return f;
}

void QualityCheck::addGaps(LogFigures& f, std::int64_t interval) const {
  std::int64_t longestFrom = unlisted_.longestFrom;
  f.gaps = unlisted_.gaps;
  f.gapEpochs = unlisted_.epochs;
  f.longestGapEpochs = unlisted_.longest;
  for (const StepEntry& e : logSteps_.entries()) {
    const std::int64_t missing = missingEpochs(e.step, interval);
    if (missing == 0) continue;
    f.gaps += e.count;
    f.gapEpochs = saturatingAdd(f.gapEpochs, saturatingMultiply(missing, e.count));
    if (missing > f.longestGapEpochs ||
        (missing == f.longestGapEpochs && e.firstAt < longestFrom)) {
      f.longestGapEpochs = missing;
      longestFrom = e.firstAt;
    }
  }
  if (f.longestGapEpochs > 0) f.longestGapStart = reportTime(longestFrom + interval);
}

SatelliteFigures QualityCheck::satelliteFigures(std::size_t p, const LogFigures& log,
                                                std::int64_t interval,
                                                const CellTotals& totals) const {
  const Track& s = tracks_[p];
  SatelliteFigures f;
  f.prn = static_cast<int>(p + 1);
  f.epochs = totals.epochs;
  f.spanShare = log.expectedEpochs > 0
                    ? static_cast<double>(f.epochs) / static_cast<double>(log.expectedEpochs)
                    : 0.0;
  const TrackNotes& notes = notes_[p];
  f.arcs = 1 + notes.unlistedArcEnds;
  // The steps still being counted have no slips: a candidate ends the run.
  if (s.runCount > 0 && endsArc(s.runStep, interval)) f.arcs += s.runCount;
  f.slips = notes.unlistedSlips;
  for (const StepEntry& e : satelliteSteps_[p].entries()) {
    if (endsArc(e.step, interval)) {
      f.arcs += e.count;
    } else {
      f.slips += e.marks;
    }
  }
  f.first = reportTime(notes.firstAt);
  f.last = reportTime(s.lastAt);
  f.lossOfLock = totals.lossOfLock;
  f.carrierToNoiseMean =
      0.25 * static_cast<double>(totals.signalQuarters) / static_cast<double>(f.epochs);
  f.carrierToNoiseMin = s.carrierToNoiseMin;
  f.carrierToNoiseMax = s.carrierToNoiseMax;
  f.rollovers = s.rollovers;
  const SlipDetector::Settled settled = slips_.settled(p);
  f.jumpNoise = settled.noise;
  f.slipThreshold = settled.threshold;
  return f;
}

ReportTime QualityCheck::reportTime(std::int64_t t) const {
  return datedTime(anchor_.timeOf(t));
}

}  // namespace kapolex
