// One block of the data section per kept epoch. An epoch line carries twelve
// satellites; a message with more continues the list on further lines below
// the first one's list, so that every channel read is written.
#include "rinex/epoch_record.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

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

// The epoch line for 0 to 12 satellites and the observation line, walked
// once while compiling.
constexpr std::array<LinePlan, satellitesPerLine + 1> epochLinePlans = [] {
  std::array<LinePlan, satellitesPerLine + 1> plans{};
  for (std::size_t n = 0; n <= satellitesPerLine; ++n) {
    plans[n] = planLine(epochLayout, epochLeadingFields + n);
  }
  return plans;
}();
constexpr LinePlan observationLinePlan = planLine(observationLayout, 4);

using PlannedLineWriter = void (*)(OutputSink&, std::span<const FieldValue>);

// The epoch line's writer for each satellite count of one line.
constexpr auto epochLineWriters = []<std::size_t... n>(std::index_sequence<n...>) {
  return std::array<PlannedLineWriter, sizeof...(n)>{&writePlannedLine<epochLinePlans[n]>...};
}
(std::make_index_sequence<satellitesPerLine + 1>{});

}  // namespace

void writeEpochRecord(OutputSink& obs, const MeasurementEpoch& epoch) {
  const EpochTime& time = epoch.time;
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
  std::size_t first = std::min(satellitesPerLine, count);
  for (std::size_t k = 0; k < first; ++k)
    line[epochLeadingFields + k] = integerValue(epoch.channels[k].prn);
  epochLineWriters[first](obs,
                          std::span<const FieldValue>(line.data(), epochLeadingFields + first));
  while (first < count) {
    const std::size_t last = std::min(first + satellitesPerLine, count);
    std::size_t used = 0;
    line[used++] = textValue(continuationIndent);
    for (std::size_t k = first; k < last; ++k) line[used++] = integerValue(epoch.channels[k].prn);
    writeRecord(obs, epochContinuationLayout, std::span<const FieldValue>(line.data(), used));
    first = last;
  }

  for (std::size_t k = 0; k < count; ++k) {
    const ChannelMeasurement& channel = epoch.channels[k];
    const std::array<FieldValue, 4> observation{
        realValue(channel.carrierPhase), integerValue(channel.lossOfLock),
        integerValue(channel.signalFlag), realValue(channel.pseudorange)};
    writePlannedLine<observationLinePlan>(obs, observation);
  }
}

}  // namespace kapolex
