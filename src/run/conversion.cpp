#include "run/conversion.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "common/measurement.hpp"
#include "measure/gps_time.hpp"
#include "qc/json_report.hpp"
#include "qc/text_report.hpp"
#include "qc/tracking_plot.hpp"
#include "receiver_log/measurement_body.hpp"
#include "receiver_log/message_header.hpp"
#include "run/file_reports.hpp"
#include "run/fixed_names.hpp"
#include "run/summary.hpp"
#include "run/week_dialogue.hpp"

namespace kapolex {

namespace {

// Far more than the lines of any epoch in any encoding: twelve channels
// take under 2 KiB of text.
constexpr std::size_t epochRoom = std::size_t{64} << 10;

}  // namespace

MessageWalk::MessageWalk(LogReader& log, const ConversionStages& stages)
    : log_(log),
      stages_(stages),
      framer_(log),
      byTime_(stages.window.given() || stages.namedFiles != nullptr) {}

void MessageWalk::convertHeld() {
  MessageHeader message;
  while (framer_.next(message) == FrameStep::message) {
    stages_.counts.add(message.id);
    if (isMeasurementMessage(message.id)) {
      convertMeasurement(message.id);
    } else if (stages_.fileReports != nullptr) {
      stages_.fileReports->countMessage(message.id);
    }
  }
}

void MessageWalk::convertMeasurement(std::uint8_t id) {
  if (stages_.weekFromClock != nullptr) chooseWeek();
  if (stages_.fileReports != nullptr) stages_.fileReports->holdBody(log_);
  const MeasurementOutcome outcome = stages_.measurements.decodeMeasurement(log_, epoch_);
  bool written = outcome == MeasurementOutcome::kept && stages_.observations != nullptr;
  if (written && byTime_) {
    const std::int64_t second = gpsSecondOfEpoch(epoch_.week, epoch_.receiveTime);
    written = stages_.window.holds(second);
    if (written && stages_.namedFiles != nullptr) {
      written = stages_.namedFiles->beforeEpoch(*stages_.observations, second);
    }
  }
  if (written) {
    stages_.observations->writeEpoch(epoch_);
    ++writtenEpochs_;
    if (stages_.wholeEpochs) stages_.observations->flushUnlessRoomFor(epochRoom);
  }
  // After the named files, which may have finished a file and started the
  // part of the log that this message opens.
  if (stages_.fileReports != nullptr) {
    stages_.fileReports->addMeasurement(id, outcome, stages_.measurements.weeks().week(), written);
  }
  if (stages_.quality == nullptr) return;
  if (outcome == MeasurementOutcome::unusable) {
    stages_.quality->addUnusable();
  } else {
    stages_.quality->addEpoch(epoch_, written);
  }
}

// The week in which the first usable receive time lies closest to the
// clock; a message before it, whose time is unusable, has no time to go by
// and changes nothing in the stage.
void MessageWalk::chooseWeek() {
  const std::span<const std::uint8_t> head = log_.peek(bodyHeadSize);
  // A head cut short by the log's end stops the run in the stage.
  if (head.size() < bodyHeadSize) return;
  const double receiveTime = readBodyHead(head.data()).receiveTime;
  if (!isUsableReceiveTime(receiveTime)) return;
  const WeekFromClock& choice = *stages_.weekFromClock;
  stages_.weekFromClock = nullptr;
  const std::int32_t week = closestWeek(receiveTime, gpsSecondsOfUtc(choice.clock->readSeconds()));
  stages_.measurements.startAtWeek(week);
  if (choice.console == nullptr) return;
  writeRemark(*choice.console,
              std::string(clockWeekLabel) + std::to_string(week) + std::string(clockWeekRemark));
  choice.console->flush();
}

std::int64_t convertMessages(LogReader& log, const ConversionStages& stages) {
  MessageWalk walk(log, stages);
  walk.convertHeld();
  return walk.writtenEpochs();
}

std::int64_t convertFile(platform::NativeHandle file, LogReader& log,
                         const ConversionStages& stages) {
  MessageWalk walk(log, stages);
  while (!log.ended()) {
    const std::span<std::uint8_t> space = log.space();
    const std::ptrdiff_t got = platform::readSome(file, space.data(), space.size());
    if (got < 0) stopRun(Diagnostic::readError, logUnit, log.path());
    if (got > 0) {
      log.add(static_cast<std::size_t>(got));
    } else {
      log.end();
    }
    walk.convertHeld();
  }
  return walk.writtenEpochs();
}

void writeQualityReports(const QualityOutputs& outputs, const QualityReport& report) {
  if (outputs.text != nullptr) {
    writeTextReport(*outputs.text, report);
    outputs.text->flush();
  }
  if (outputs.json != nullptr) {
    writeJsonReport(*outputs.json, report);
    outputs.json->flush();
  }
  if (outputs.plot != nullptr) {
    writeTrackingPlot(*outputs.plot, report);
    outputs.plot->flush();
  }
}

Conversion::Conversion(RunStreams& streams, const ConversionSettings& settings, std::string logPath,
                       std::size_t blockSize)
    : streams_(streams), settings_(settings), log_(std::move(logPath), blockSize) {}

template <typename Step>
void Conversion::guarded(Step step) {
  try {
    step();
  } catch (const RunStop& stop) {
    reportStopped(stop);
  }
}

void Conversion::reportStopped(const RunStop& stop) {
  state_ = State::stopped;
  // A file that a stop closes gets no report: its part of the log is cut.
  if (streams_.fileReports != nullptr) streams_.fileReports->standDown();
  exitStatus_ = reportStop(stop, streams_.observations, streams_.consoleOut, streams_.errorOut);
}

void Conversion::start() {
  if (state_ != State::ready) return;
  guarded([this] {
    // A week that the clock chooses is set at the first usable receive time.
    std::int32_t week = 1;
    if (settings_.week) {
      week = *settings_.week;
    } else if (settings_.weekClock != nullptr) {
      weekFromClock_.emplace(
          WeekFromClock{settings_.weekClock, settings_.summary ? &streams_.consoleOut : nullptr});
    } else {
      week = askWeek(streams_.consoleIn, streams_.consoleOut);
    }
    const bool checksQuality = streams_.quality.any();
    measurements_.emplace(MeasurementSettings{.week = week,
                                              .decimationSeconds = settings_.decimationSeconds,
                                              .decodeDroppedEpochs = checksQuality});
    if (streams_.observations != nullptr) {
      streams_.observations->writeHeader(versionText, streams_.clock);
    }
    if (checksQuality) quality_.emplace();
    walk_.emplace(log_,
                  ConversionStages{*measurements_, streams_.observations,
                                   quality_ ? &*quality_ : nullptr, counts_, settings_.window,
                                   streams_.namedFiles, weekFromClock_ ? &*weekFromClock_ : nullptr,
                                   streams_.fileReports, settings_.follow});
    state_ = State::running;
  });
}

void Conversion::logAdded(std::size_t count) {
  if (state_ != State::running) return;
  log_.add(count);
  guarded([this] {
    walk_->convertHeld();
    // A followed log's epochs reach the file as soon as their piece came.
    if (settings_.follow && streams_.observations != nullptr) streams_.observations->flush();
  });
}

void Conversion::logEnded() {
  if (state_ != State::running) return;
  log_.end();
  guarded([this] {
    walk_->convertHeld();
    finish();
    state_ = State::ended;
  });
}

void Conversion::logStopped() {
  if (state_ != State::running) return;
  guarded([this] {
    finish();
    state_ = State::ended;
  });
}

void Conversion::stop(const RunStop& stop) {
  if (state_ == State::stopped || state_ == State::ended) return;
  reportStopped(stop);
}

std::optional<std::int64_t> Conversion::openPeriodEnd() const {
  if (state_ != State::running || streams_.namedFiles == nullptr) return std::nullopt;
  return streams_.namedFiles->openPeriodEnd();
}

void Conversion::finishPeriodEndedBy(std::int64_t second) {
  if (state_ != State::running || streams_.namedFiles == nullptr) return;
  guarded([&] { streams_.namedFiles->finishPeriodEndedBy(*streams_.observations, second); });
}

void Conversion::remark(std::string_view text) {
  if (state_ != State::running) return;
  guarded([&] {
    writeRemark(streams_.consoleOut, text);
    streams_.consoleOut.flush();
  });
}

void Conversion::finish() {
  // A failed write must be reported before anything that looks like success.
  if (streams_.observations != nullptr) streams_.observations->flush();
  if (quality_) writeQualityReports(streams_.quality, quality_->finish(counts_));
  // Files named by their epochs are closed under their names whether or
  // not the summary lists them, and listed only once they are, so that the
  // list never names a file that a failed rename left under another.
  if (streams_.namedFiles != nullptr) {
    if (std::optional<RunStop> failure = streams_.namedFiles->close(*streams_.observations)) {
      throw RunStop(std::move(*failure));
    }
  }
  if (settings_.summary) {
    writeSummary(streams_.consoleOut, counts_);
    if (settings_.window.given() && walk_->writtenEpochs() == 0) {
      writeRemark(streams_.consoleOut, emptyWindowRemark);
    }
    // A followed run has listed each file as it was finished.
    if (streams_.namedFiles != nullptr && !settings_.follow) {
      writeFileList(streams_.consoleOut, streams_.namedFiles->files(*streams_.observations));
    }
  }
  streams_.consoleOut.flush();
}

int convertLog(RunStreams& streams, const ConversionSettings& settings,
               std::span<const std::uint8_t> log, std::string logPath, std::size_t pieceSize) {
  Conversion conversion(streams, settings, std::move(logPath));
  conversion.start();
  while (conversion.running() && !log.empty()) {
    const std::span<std::uint8_t> space = conversion.logSpace();
    const std::size_t count =
        std::min({log.size(), space.size(), pieceSize == 0 ? log.size() : pieceSize});
    std::memcpy(space.data(), log.data(), count);
    log = log.subspan(count);
    conversion.logAdded(count);
  }
  conversion.logEnded();
  return conversion.exitStatus();
}

int reportStop(const RunStop& stop, ObservationWriter* observations, OutputSink& consoleOut,
               OutputSink& errorOut) {
  consoleOut.flushQuietly();
  errorOut.write(stop.line());
  errorOut.write("\n");
  int status = stop.exitStatus();
  if (observations != nullptr && !observations->flushQuietly()) {
    const RunStop lost(Diagnostic::writeError, observations->unit(), observations->path());
    errorOut.write(lost.line());
    errorOut.write("\n");
    status = lost.exitStatus();
  }
  errorOut.flushQuietly();
  return status;
}

}  // namespace kapolex
