// One block of the data section per kept epoch. An epoch line carries twelve
// satellites; a message with more continues the list on further lines below
// the first one's list, so that every channel read is written.
#include "rinex/epoch_record.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "common/conversion_state.hpp"
#include "rinex/header.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"

namespace kapolex {

namespace {

constexpr std::size_t satellitesPerLine = 12;
constexpr std::size_t epochLeadingFields = 8;
constexpr std::int32_t epochFlagOk = 0;
// Blanks under the first line's date, flag and count.
constexpr std::string_view continuationIndent = "                                ";
static_assert(continuationIndent.size() == 32);

}  // namespace

void writeEpoch(OutputSink& obs, const EpochTime& time, const MeasurementEpoch& epoch,
                std::int32_t& headerPending) {
  if (isTrue(headerPending)) {
    RINHD2(obs, time.year, time.month, time.day, time.hour, time.minute, time.second,
           headerPending);
  }
  const std::size_t count =
      static_cast<std::size_t>(std::clamp(epoch.channelCount, 0, maxChannels));

  std::array<FieldValue, epochLeadingFields + satellitesPerLine> line{
      integerValue(time.year - 100 * (time.year / 100)),
      integerValue(time.month),
      integerValue(time.day),
      integerValue(time.hour),
      integerValue(time.minute),
      realValue(time.second),
      integerValue(epochFlagOk),
      integerValue(epoch.channelCount)};
  // The epoch line goes out even without satellites; continuation lines only
  // while satellites are left.
  std::size_t first = 0;
  std::size_t used = epochLeadingFields;
  const Layout* layout = &epochLayout;
  do {
    const std::size_t last = std::min(first + satellitesPerLine, count);
    for (std::size_t k = first; k < last; ++k) line[used++] = integerValue(epoch.channels[k].prn);
    writeRecord(obs, *layout, std::span<const FieldValue>(line.data(), used));
    first = last;
    line[0] = textValue(continuationIndent);
    used = 1;
    layout = &epochContinuationLayout;
  } while (first < count);

  for (std::size_t k = 0; k < count; ++k) {
    const ChannelMeasurement& channel = epoch.channels[k];
    const std::array<FieldValue, 4> observation{
        realValue(channel.carrierPhase), integerValue(channel.lossOfLock),
        integerValue(channel.signalFlag), realValue(channel.pseudorange)};
    writeRecord(obs, observationLayout, observation);
  }
}

}  // namespace kapolex
