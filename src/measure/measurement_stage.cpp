#include "measure/measurement_stage.hpp"

#include "common/run_stop.hpp"
#include "receiver_log/channel_decoding.hpp"
#include "receiver_log/measurement_body.hpp"

namespace kapolex {

namespace {

// A measurement body cut short by the end of the log is damaged beyond use.
const std::uint8_t* takeBodyBytes(LogReader& log, std::size_t count) {
  const std::uint8_t* bytes = log.take(count);
  if (bytes == nullptr) stopRun(Diagnostic::endOfFile, logUnit, log.path());
  return bytes;
}

// Repairs every channel, kept epoch or not, so that each satellite's phase
// history follows the receiver epoch by epoch. Of an epoch that nobody looks
// at, only the PRNs and phases are decoded.
template <class NextRecord>
void decodeChannels(PhaseRollover& rollover, const BodyHead& head, bool inFull,
                    MeasurementEpoch& epoch, NextRecord nextRecord) {
  const auto count = static_cast<std::size_t>(head.channelCount);
  if (!inFull) {
    for (std::size_t k = 0; k < count; ++k) {
      const ChannelRecord channel = nextRecord();
      rollover.repairPhase(channelPrn(channel.prnByte), rawCarrierPhase(channel.carrierWord));
    }
    return;
  }
  const double fraction = secondFraction(head.receiveTime);
  for (std::size_t k = 0; k < count; ++k) {
    ChannelMeasurement& channel = epoch.channels[k];
    channel = decodeChannel(nextRecord(), fraction);
    channel.carrierPhase =
        rollover.repairPhase(channel.prn, channel.carrierPhase, channel.rolloverStep);
  }
}

}  // namespace

MeasurementStage::MeasurementStage(const MeasurementSettings& settings)
    : settings_(settings), weeks_(settings.week) {}

MeasurementOutcome MeasurementStage::decodeMeasurement(LogReader& log, MeasurementEpoch& epoch) {
  const BodyHead head = readBodyHead(takeBodyBytes(log, bodyHeadSize));
  const double receiveTime = head.receiveTime;
  // An unusable time leaves the channel records unread; the framing finds
  // the next message from here.
  if (!isUsableReceiveTime(receiveTime)) return MeasurementOutcome::unusable;

  const bool kept = keepEpoch(receiveTime, settings_.decimationSeconds);
  const bool inFull = kept || settings_.decodeDroppedEpochs;
  weeks_.follow(receiveTime);

  // The body's records one by one from the log. When the log holds them
  // all, the end-of-log test is made once for the message; a body cut short
  // is read record by record, so that a bad PRN before the cut still stops
  // the run before the end of the log does.
  const std::size_t recordBytes = static_cast<std::size_t>(head.channelCount) * channelRecordSize;
  const std::span<const std::uint8_t> body = log.peek(recordBytes);
  if (body.size() == recordBytes) {
    decodeChannels(rollover_, head, inFull, epoch, [&log, record = body.data()]() mutable {
      const ChannelRecord channel = readChannelRecord(record);
      record += channelRecordSize;
      log.skipPeeked(channelRecordSize);
      return channel;
    });
  } else {
    decodeChannels(rollover_, head, inFull, epoch,
                   [&log] { return readChannelRecord(takeBodyBytes(log, channelRecordSize)); });
  }
  if (inFull) {
    epoch.receiveTime = receiveTime;
    epoch.week = weeks_.week();
    epoch.channelCount = head.channelCount;
  }
  if (!kept) return MeasurementOutcome::dropped;
  epoch.time = epochTimeOf(weeks_.week(), receiveTime, minuteTestValue(receiveTime));
  return MeasurementOutcome::kept;
}

}  // namespace kapolex
