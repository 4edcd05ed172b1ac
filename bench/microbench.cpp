// Microbenchmarks of the paths that every message or every written line
// takes: the fixed-point and integer field editors (general and with the
// field known while compiling), whole observation and epoch lines, the
// message framing and the channel decoding. Run: build-bench/bench/kapolex_microbench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "measure/measurement_stage.hpp"
#include "measure/rollover.hpp"
#include "receiver_log/channel_decoding.hpp"
#include "receiver_log/measurement_body.hpp"
#include "rinex/epoch_record.hpp"
#include "rinex/field_editing.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"
#include "run/conversion.hpp"

namespace {

using namespace kapolex;

constexpr std::size_t valueCount = 4096;  // a power of two, cycled through

// Values of the size and spread that observation lines carry: carrier
// phases of tens of millions of cycles and pseudoranges of twenty-odd
// million metres, both with all their binary fraction digits.
std::vector<double> observationValues() {
  std::mt19937_64 random(1356);
  std::uniform_real_distribution<double> phase(-3.0e7, 3.0e7);
  std::uniform_real_distribution<double> range(1.9e7, 2.6e7);
  std::vector<double> values(valueCount);
  for (std::size_t i = 0; i < valueCount; ++i)
    values[i] = i % 2 == 0 ? phase(random) : range(random);
  return values;
}

void BM_EditFixed_F14_3(benchmark::State& state) {
  const std::vector<double> values = observationValues();
  char field[14];
  std::size_t i = 0;
  for (auto _ : state) {
    editFixed(field, sizeof field, 3, values[i++ & (valueCount - 1)]);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditFixed_F14_3);

// The same field with its width and decimals fixed while compiling, as the
// observation line's plan edits it.
void BM_EditFixedField_F14_3(benchmark::State& state) {
  const std::vector<double> values = observationValues();
  char field[14];
  std::size_t i = 0;
  for (auto _ : state) {
    editFixedField<14, 3>(field, values[i++ & (valueCount - 1)]);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditFixedField_F14_3);

void BM_EditFixed_F11_7(benchmark::State& state) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> seconds(0.0, 60.0);
  std::vector<double> values(valueCount);
  for (double& value : values) value = seconds(random);
  char field[11];
  std::size_t i = 0;
  for (auto _ : state) {
    editFixed(field, sizeof field, 7, values[i++ & (valueCount - 1)]);
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditFixed_F11_7);

void BM_EditInteger_I3(benchmark::State& state) {
  char field[3];
  std::int64_t value = 0;
  for (auto _ : state) {
    editInteger(field, sizeof field, 1, value);
    value = value == 59 ? 0 : value + 1;
    benchmark::DoNotOptimize(field);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditInteger_I3);

// A sink whose flushes go to the null device, so that only the assembly of
// lines is measured.
struct NullSink {
  OutputSink sink{FileHandle(::open("/dev/null", O_WRONLY | O_CLOEXEC)), 2, "/dev/null",
                  fileOutputBufferSize, false};
};

// The observation line as the epoch writer produces it.
void BM_ObservationLine(benchmark::State& state) {
  const std::vector<double> values = observationValues();
  NullSink null;
  std::size_t i = 0;
  for (auto _ : state) {
    writeRecord<observationLayout>(null.sink, values[i & (valueCount - 1)],
                                   4 + static_cast<int>(i & 1), 7,
                                   values[(i + 1) & (valueCount - 1)]);
    i += 2;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ObservationLine);

// The epoch line with twelve satellites.
void BM_EpochLine(benchmark::State& state) {
  NullSink null;
  int second = 0;
  for (auto _ : state) {
    writeRecord<epochLayout>(null.sink, 6, 1, 20, 9, 5, second + 3e-8, 0, 12, 1, 4, 7, 10, 13, 16,
                             19, 22, 25, 28, 31, 32);
    second = second == 55 ? 0 : second + 5;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EpochLine);

// A whole epoch block of twelve satellites in either version: the epoch
// line or record and the observation lines.
void epochBlock(benchmark::State& state, RinexVersion version) {
  const std::vector<double> values = observationValues();
  MeasurementEpoch epoch;
  epoch.time = {2006, 1, 20, 9, 5, 10.0000003};
  epoch.channelCount = 12;
  NullSink null;
  std::size_t i = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < 12; ++k) {
      ChannelMeasurement& channel = epoch.channels[k];
      channel.prn = static_cast<std::int32_t>(2 * k + 1);
      channel.carrierPhase = values[(i + 2 * k) & (valueCount - 1)];
      channel.pseudorange = values[(i + 2 * k + 1) & (valueCount - 1)];
      channel.lossOfLock = 4 + static_cast<std::int32_t>(k & 1);
      channel.signalFlag = 7;
    }
    if (version == RinexVersion::v3_04) {
      writeRinex3EpochRecord(null.sink, epoch);
    } else {
      writeEpochRecord(null.sink, epoch);
    }
    i += 24;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_EpochBlockRinex2(benchmark::State& state) {
  epochBlock(state, RinexVersion::v2_10);
}
BENCHMARK(BM_EpochBlockRinex2);

void BM_EpochBlockRinex3(benchmark::State& state) {
  epochBlock(state, RinexVersion::v3_04);
}
BENCHMARK(BM_EpochBlockRinex3);

// A log of receiver-like measurement messages: twelve channels each, one
// message per second from a given start, with code phases and carrier words
// of realistic size.
std::vector<std::uint8_t> measurementLog(std::size_t messages, double startTime) {
  std::mt19937 random(23);
  std::vector<std::uint8_t> log;
  const auto put32 = [&log](std::uint32_t word) {
    for (int b = 0; b < 4; ++b) log.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
  };
  for (std::size_t m = 0; m < messages; ++m) {
    const int channels = 12;
    const int length = 11 + 11 * channels;
    log.insert(log.end(),
               {0x01, 23, static_cast<std::uint8_t>(~23), static_cast<std::uint8_t>(length)});
    log.insert(log.end(), {0, 0, static_cast<std::uint8_t>(channels)});
    const double receiveTime = startTime + static_cast<double>(m) + 3.0e-4;
    const auto timeBits = std::bit_cast<std::uint64_t>(receiveTime);
    put32(static_cast<std::uint32_t>(timeBits));
    put32(static_cast<std::uint32_t>(timeBits >> 32));
    for (int k = 0; k < channels; ++k) {
      log.push_back(static_cast<std::uint8_t>(2 * k));                // PRN 2k + 1
      log.push_back(static_cast<std::uint8_t>(150 + random() % 60));  // signal
      put32(static_cast<std::uint32_t>(random() % 2000000));          // code phase
      put32(static_cast<std::uint32_t>(random()));                    // carrier word
      log.push_back(0);
    }
    log.insert(log.end(), {0xAA, 0x55});
  }
  return log;
}

// The whole walk over a log held in memory: framing, decoding, rollover
// repair and, for kept epochs, the lines. Start 0 keeps one epoch in five;
// every message of a log with 5-second spacing would be kept.
void frameLog(benchmark::State& state, const std::vector<std::uint8_t>& bytes, std::size_t messages,
              const HeaderFields& fields = {}) {
  ObservationWriter writer(std::move(NullSink().sink), fields);
  for (auto _ : state) {
    LogReader log(bytes, "z.log");
    MeasurementStage measurements({.week = 1356});
    MessageCounts counts;
    convertMessages(log, {measurements, &writer, nullptr, counts});
    benchmark::DoNotOptimize(counts);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(messages));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_FrameMeasurementLog(benchmark::State& state) {
  constexpr std::size_t messages = 10000;
  frameLog(state, measurementLog(messages, 0.0), messages);
}
BENCHMARK(BM_FrameMeasurementLog);

// The same in RINEX 3.04.
void BM_FrameMeasurementLogRinex3(benchmark::State& state) {
  constexpr std::size_t messages = 10000;
  HeaderFields fields;
  fields.rinexVersion = RinexVersion::v3_04;
  frameLog(state, measurementLog(messages, 0.0), messages, fields);
}
BENCHMARK(BM_FrameMeasurementLogRinex3);

// Messages of other IDs with garbage between them: the header search and
// the skipping of bodies, without any decoding.
void BM_FrameOtherMessagesAndGarbage(benchmark::State& state) {
  std::mt19937 random(151);
  std::vector<std::uint8_t> bytes;
  std::size_t messages = 0;
  while (bytes.size() < (std::size_t{1} << 20)) {
    if (random() % 8 == 0) {
      for (auto g = random() % 32; g > 0; --g) bytes.push_back(static_cast<std::uint8_t>(random()));
    }
    const auto id = static_cast<std::uint8_t>(24 + random() % 100);
    const auto length = static_cast<std::uint8_t>(1 + random() % 255);
    bytes.insert(bytes.end(), {0x01, id, static_cast<std::uint8_t>(~id), length});
    for (int b = 0; b < length + 2; ++b) bytes.push_back(static_cast<std::uint8_t>(random()));
    ++messages;
  }
  frameLog(state, bytes, messages);
}
BENCHMARK(BM_FrameOtherMessagesAndGarbage);

// Decoding and rollover repair of one channel record, the work done for
// every channel of every message whether its epoch is kept or not.
void BM_DecodeChannel(benchmark::State& state) {
  const std::vector<std::uint8_t> bytes = measurementLog(1, 0.0);
  const std::uint8_t* records = bytes.data() + 4 + bodyHeadSize;
  PhaseRollover rollover;
  const double fraction = secondFraction(100.0003);
  std::size_t k = 0;
  for (auto _ : state) {
    ChannelMeasurement channel =
        decodeChannel(readChannelRecord(records + channelRecordSize * k), fraction);
    channel.carrierPhase = rollover.repairPhase(channel.prn, channel.carrierPhase);
    benchmark::DoNotOptimize(channel);
    k = k == 11 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeChannel);

}  // namespace
