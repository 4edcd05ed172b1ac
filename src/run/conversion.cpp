#include "run/conversion.hpp"

#include <optional>

#include "common/measurement.hpp"
#include "measure/gps_time.hpp"
#include "qc/json_report.hpp"
#include "qc/text_report.hpp"
#include "qc/tracking_plot.hpp"
#include "receiver_log/framing.hpp"
#include "receiver_log/message_header.hpp"
#include "run/fixed_names.hpp"
#include "run/summary.hpp"
#include "run/week_dialogue.hpp"

namespace kapolex {

std::int64_t convertMessages(LogReader& log, const ConversionStages& stages) {
  MessageFramer framer(log);
  // One epoch for the whole walk: its channels are rewritten by every
  // decoded message, never set up afresh.
  MeasurementEpoch epoch;
  // Only a run that selects or files epochs by their time needs it.
  const bool byTime = stages.window.given() || stages.namedFiles != nullptr;
  std::int64_t writtenEpochs = 0;
  while (const std::optional<MessageHeader> message = framer.next()) {
    stages.counts.add(message->id);
    if (!isMeasurementMessage(message->id)) continue;
    const MeasurementOutcome outcome = stages.measurements.decodeMeasurement(log, epoch);
    bool written = outcome == MeasurementOutcome::kept && stages.observations != nullptr;
    if (written && byTime) {
      const std::int64_t second = gpsSecondOfEpoch(epoch.week, epoch.receiveTime);
      written = stages.window.holds(second);
      if (written && stages.namedFiles != nullptr) {
        stages.namedFiles->beforeEpoch(*stages.observations, second);
      }
    }
    if (written) {
      stages.observations->writeEpoch(epoch);
      ++writtenEpochs;
    }
    if (stages.quality == nullptr) continue;
    if (outcome == MeasurementOutcome::unusable) {
      stages.quality->addUnusable();
    } else {
      stages.quality->addEpoch(epoch, written);
    }
  }
  return writtenEpochs;
}

namespace {

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

void convert(RunStreams& streams, const ConversionSettings& settings) {
  const std::int32_t week =
      settings.week ? *settings.week : askWeek(streams.consoleIn, streams.consoleOut);
  const bool checksQuality = streams.quality.any();
  MeasurementStage measurements({.week = week,
                                 .decimationSeconds = settings.decimationSeconds,
                                 .decodeDroppedEpochs = checksQuality});
  if (streams.observations != nullptr) {
    streams.observations->writeHeader(versionText, streams.clock);
  }
  MessageCounts counts;
  std::optional<QualityCheck> quality;
  if (checksQuality) quality.emplace();
  const std::int64_t writtenEpochs = convertMessages(
      streams.log, {measurements, streams.observations, quality ? &*quality : nullptr, counts,
                    settings.window, streams.namedFiles});
  // A failed write must be reported before anything that looks like success.
  if (streams.observations != nullptr) streams.observations->flush();
  if (quality) writeQualityReports(streams.quality, quality->finish(counts));
  if (settings.summary) {
    writeSummary(streams.consoleOut, counts);
    if (settings.window.given() && writtenEpochs == 0) {
      writeRemark(streams.consoleOut, emptyWindowRemark);
    }
    if (streams.namedFiles != nullptr) {
      // Listed once they are closed under their names, so that the list
      // never names a file that a failed rename left under another.
      if (const std::optional<RunStop> failure = streams.namedFiles->close(*streams.observations)) {
        stopRun(failure->diagnostic(), failure->unit(), failure->file());
      }
      writeFileList(streams.consoleOut, streams.namedFiles->files(*streams.observations));
    }
  }
  streams.consoleOut.flush();
}

}  // namespace

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

int runConversion(RunStreams& streams, const ConversionSettings& settings) {
  try {
    convert(streams, settings);
    return 0;
  } catch (const RunStop& stop) {
    return reportStop(stop, streams.observations, streams.consoleOut, streams.errorOut);
  }
}

}  // namespace kapolex
