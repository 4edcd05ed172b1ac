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
  const std::uint8_t* bytes = takeLogBytes(log, count);
  if (bytes == nullptr) stopRun(Diagnostic::endOfFile, logUnit, log.path);
  return bytes;
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
  const double secondsOfMinute = minuteTestValue(receiveTime);

  // Every channel is decoded and repaired, kept epoch or not, so that each
  // satellite's phase history follows the receiver epoch by epoch.
  const double fraction = secondFraction(receiveTime);
  MeasurementEpoch epoch;
  epoch.receiveTime = receiveTime;
  epoch.channelCount = head.channelCount;
  for (std::int32_t k = 0; k < head.channelCount; ++k) {
    ChannelMeasurement& channel = epoch.channels[static_cast<std::size_t>(k)];
    channel = decodeChannel(readChannelRecord(takeBodyBytes(log, channelRecordSize)), fraction);
    CROFIX(state, channel.prn, channel.carrierPhase);
  }
  if (!kept) return;

  writeEpoch(obs, epochTimeOf(state.week, receiveTime, secondsOfMinute), epoch,
             state.headerPending);
}

}  // namespace kapolex
