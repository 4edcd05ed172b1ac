#include "measure/do23.hpp"

#include "common/measurement.hpp"
#include "common/run_stop.hpp"
#include "measure/channel_decoding.hpp"
#include "measure/gps_time.hpp"
#include "measure/measurement_body.hpp"
#include "measure/rollover.hpp"
#include "rinex/epoch_record.hpp"

namespace kapolex {

namespace {

// A measurement body cut short by the end of the log is damaged beyond use.
const std::uint8_t* takeBodyBytes(LogReader& log, std::size_t count) {
  const std::uint8_t* bytes = log.take(count);
  if (bytes == nullptr) stopRun(Diagnostic::endOfFile, logUnit, log.path());
  return bytes;
}

// The channels of the epoch being written. The run has one thread and an
// epoch lives for one call, so one is kept for all calls: setting up all 255
// entries of a fresh one per message cost more than decoding its channels.
MeasurementEpoch decodedEpoch;

// Repairs every channel, kept epoch or not, so that each satellite's phase
// history follows the receiver epoch by epoch, and writes a kept epoch. Of a
// dropped epoch nothing else is ever seen, so only its PRNs and phases are
// decoded.
template <class NextRecord>
void decodeChannels(OutputSink& obs, ConversionState& state, const BodyHead& head, bool kept,
                    NextRecord nextRecord) {
  const auto count = static_cast<std::size_t>(head.channelCount);
  if (!kept) {
    for (std::size_t k = 0; k < count; ++k) {
      const ChannelRecord channel = nextRecord();
      double phase = rawCarrierPhase(channel.carrierWord);
      CROFIX(state, channelPrn(channel.prnByte), phase);
    }
    return;
  }

  const double receiveTime = head.receiveTime;
  const double secondsOfMinute = minuteTestValue(receiveTime);
  const double fraction = secondFraction(receiveTime);
  MeasurementEpoch& epoch = decodedEpoch;
  epoch.receiveTime = receiveTime;
  epoch.channelCount = head.channelCount;
  for (std::size_t k = 0; k < count; ++k) {
    ChannelMeasurement& channel = epoch.channels[k];
    channel = decodeChannel(nextRecord(), fraction);
    CROFIX(state, channel.prn, channel.carrierPhase);
  }
  writeEpoch(obs, epochTimeOf(state.week, receiveTime, secondsOfMinute), epoch,
             state.headerPending);
}

}  // namespace

void DO23(LogReader& log, OutputSink& obs, ConversionState& state) {
  const BodyHead head = readBodyHead(takeBodyBytes(log, bodyHeadSize));
  const double receiveTime = head.receiveTime;
  // An unusable time leaves the channel records unread; the framing finds
  // the next message from here.
  if (!isUsableReceiveTime(receiveTime)) return;

  const bool kept = keepEpoch(receiveTime);
  followWeekRollover(state, receiveTime);

  // The body's records one by one from the log. When the log holds them
  // all, the end-of-log test is made once for the message; a body cut short
  // is read record by record, so that a bad PRN before the cut still stops
  // the run before the end of the log does.
  const std::size_t recordBytes = static_cast<std::size_t>(head.channelCount) * channelRecordSize;
  const std::span<const std::uint8_t> body = log.peek(recordBytes);
  if (body.size() == recordBytes) {
    decodeChannels(obs, state, head, kept, [&log, record = body.data()]() mutable {
      const ChannelRecord channel = readChannelRecord(record);
      record += channelRecordSize;
      log.skipPeeked(channelRecordSize);
      return channel;
    });
  } else {
    decodeChannels(obs, state, head, kept,
                   [&log] { return readChannelRecord(takeBodyBytes(log, channelRecordSize)); });
  }
}

}  // namespace kapolex
