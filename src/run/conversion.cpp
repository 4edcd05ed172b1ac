#include "run/conversion.hpp"

#include <optional>

#include "common/measurement.hpp"
#include "common/message_header.hpp"
#include "run/fixed_names.hpp"
#include "run/framing.hpp"
#include "run/summary.hpp"
#include "run/week_dialogue.hpp"

namespace kapolex {

void convertMessages(LogReader& log, MeasurementStage& measurements,
                     ObservationWriter& observations, MessageCounts& counts) {
  MessageFramer framer(log);
  // One epoch for the whole walk: its channels are rewritten by every kept
  // message, never set up afresh.
  MeasurementEpoch epoch;
  while (const std::optional<MessageHeader> message = framer.next()) {
    counts.add(message->id);
    if (!isMeasurementMessage(message->id)) continue;
    if (measurements.DO23(log, epoch) == MeasurementOutcome::kept) observations.writeEpoch(epoch);
  }
}

namespace {

void convert(RunStreams& streams, const ConversionSettings& settings) {
  const std::int32_t week =
      settings.week ? *settings.week : askWeek(streams.consoleIn, streams.consoleOut);
  MeasurementStage measurements({.week = week, .decimationSeconds = settings.decimationSeconds});
  streams.observations.writeHeader(versionText, streams.clock);
  MessageCounts counts;
  convertMessages(streams.log, measurements, streams.observations, counts);
  // A failed write must be reported before anything that looks like success.
  streams.observations.flush();
  if (settings.summary) writeSummary(streams.consoleOut, counts);
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
    return reportStop(stop, &streams.observations, streams.consoleOut, streams.errorOut);
  }
}

}  // namespace kapolex
