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

void convert(RunStreams& streams) {
  MeasurementStage measurements({.week = askWeek(streams.consoleIn, streams.consoleOut)});
  streams.observations.writeHeader(versionText, streams.clock);
  MessageCounts counts;
  convertMessages(streams.log, measurements, streams.observations, counts);
  // A failed write must be reported before anything that looks like success.
  streams.observations.flush();
  writeSummary(streams.consoleOut, counts);
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

int runConversion(RunStreams& streams) {
  try {
    convert(streams);
    return 0;
  } catch (const RunStop& stop) {
    return reportStop(stop, &streams.observations, streams.consoleOut, streams.errorOut);
  }
}

}  // namespace kapolex
