// One block of the data section per kept epoch. A RINEX 2.10 epoch line
// carries twelve satellites; a message with more continues the list on
// further lines below the first one's list, so that every channel read is
// written. RINEX 3.04 names each satellite on its observation record
// instead, so its epoch record only counts them.
#include "rinex/epoch_record.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"

namespace kapolex {

namespace {

constexpr std::size_t satellitesPerLine = 12;
constexpr std::int32_t epochFlagOk = 0;
// Blanks under the first line's date, flag and count.
constexpr std::string_view continuationIndent = "                                ";
static_assert(continuationIndent.size() == 32);

// The epoch line with the first n satellites of the epoch.
template <std::size_t n>
void writeEpochLine(OutputSink& obs, const MeasurementEpoch& epoch) {
  const EpochTime& time = epoch.time;
  const std::int32_t twoDigitYear = time.year - 100 * (time.year / 100);
  [&]<std::size_t... k>(std::index_sequence<k...>) {
    writeRecord<epochLayout>(obs, twoDigitYear, time.month, time.day, time.hour, time.minute,
                             time.second, epochFlagOk, epoch.channelCount,
                             epoch.channels[k].prn...);
  }
  (std::make_index_sequence<n>{});
}

// A continuation line with the n satellites from the first one on.
template <std::size_t n>
void writeContinuationLine(OutputSink& obs, const ChannelMeasurement* first) {
  [&]<std::size_t... k>(std::index_sequence<k...>) {
    writeRecord<epochContinuationLayout>(obs, continuationIndent, first[k].prn...);
  }
  (std::make_index_sequence<n>{});
}

using EpochLineWriter = void (*)(OutputSink&, const MeasurementEpoch&);
using ContinuationLineWriter = void (*)(OutputSink&, const ChannelMeasurement*);

// The writers for every number of satellites one line can hold.
constexpr auto epochLineWriters = []<std::size_t... n>(std::index_sequence<n...>) {
  return std::array<EpochLineWriter, sizeof...(n)>{&writeEpochLine<n>...};
}
(std::make_index_sequence<satellitesPerLine + 1>{});
constexpr auto continuationLineWriters = []<std::size_t... n>(std::index_sequence<n...>) {
  return std::array<ContinuationLineWriter, sizeof...(n)>{&writeContinuationLine<n>...};
}
(std::make_index_sequence<satellitesPerLine + 1>{});

// RINEX 2.10's epoch line with the first twelve satellites, and below it
// the others, twelve per continuation line. The epoch line goes out even
// without satellites; continuation lines only while satellites are left.
void writeRinex2EpochLines(OutputSink& obs, const MeasurementEpoch& epoch, std::size_t count) {
  std::size_t first = std::min(satellitesPerLine, count);
  epochLineWriters[first](obs, epoch);
  while (first < count) {
    const std::size_t onLine = std::min(satellitesPerLine, count - first);
    continuationLineWriters[onLine](obs, &epoch.channels[first]);
    first += onLine;
  }
}

// The line writers below are declared inline so that the compiler writes
// them into the walk over the channels rather than calling them: the
// walk's cost per epoch stays what it was when each version had a function
// of its own.

// RINEX 3.04's epoch record only counts the satellites.
inline void writeRinex3EpochLine(OutputSink& obs, const MeasurementEpoch& epoch,
                                 std::size_t count) {
  const EpochTime& time = epoch.time;
  writeRecord<rinex3EpochLayout>(obs, time.year, time.month, time.day, time.hour, time.minute,
                                 time.second, epochFlagOk, static_cast<std::int32_t>(count));
}

inline void writeRinex2Observation(OutputSink& obs, const ChannelMeasurement& channel) {
  writeRecord<observationLayout>(obs, channel.carrierPhase, channel.lossOfLock, channel.signalFlag,
                                 channel.pseudorange);
}

inline void writeRinex2ObservationWithSnr(OutputSink& obs, const ChannelMeasurement& channel) {
  writeRecord<observationWithSnrLayout>(obs, channel.carrierPhase, channel.lossOfLock,
                                        channel.signalFlag, channel.pseudorange,
                                        channel.carrierToNoise);
}

inline void writeRinex3Observation(OutputSink& obs, const ChannelMeasurement& channel) {
  writeRecord<rinex3ObservationLayout>(obs, channel.prn, channel.pseudorange, channel.carrierPhase,
                                       rinex3LossOfLock(channel.lossOfLock), channel.signalFlag);
}

inline void writeRinex3ObservationWithSnr(OutputSink& obs, const ChannelMeasurement& channel) {
  writeRecord<rinex3ObservationWithSnrLayout>(
      obs, channel.prn, channel.pseudorange, channel.carrierPhase,
      rinex3LossOfLock(channel.lossOfLock), channel.signalFlag, channel.carrierToNoise);
}

using EpochLinesWriter = void (*)(OutputSink&, const MeasurementEpoch&, std::size_t count);
using ObservationLineWriter = void (*)(OutputSink&, const ChannelMeasurement&);

// The one walk over an epoch's channels. Both writers are template
// arguments, so that each of the four blocks is compiled with its layouts
// inline and chooses nothing per line.
template <EpochLinesWriter writeEpochLines, ObservationLineWriter writeObservation>
void writeEpochBlock(OutputSink& obs, const MeasurementEpoch& epoch) {
  const std::size_t count =
      static_cast<std::size_t>(std::clamp(epoch.channelCount, 0, maxChannels));
  writeEpochLines(obs, epoch, count);
  for (std::size_t k = 0; k < count; ++k) writeObservation(obs, epoch.channels[k]);
}

}  // namespace

constinit const EpochRecordDialect rinex2EpochRecords{
    .withoutSnr = writeEpochBlock<writeRinex2EpochLines, writeRinex2Observation>,
    .withSnr = writeEpochBlock<writeRinex2EpochLines, writeRinex2ObservationWithSnr>,
};

constinit const EpochRecordDialect rinex3EpochRecords{
    .withoutSnr = writeEpochBlock<writeRinex3EpochLine, writeRinex3Observation>,
    .withSnr = writeEpochBlock<writeRinex3EpochLine, writeRinex3ObservationWithSnr>,
};

}  // namespace kapolex
