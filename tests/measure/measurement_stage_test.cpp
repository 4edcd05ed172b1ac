#include "measure/measurement_stage.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "support/log_builder.hpp"

namespace kapolex {
namespace {

struct Outcome {
  std::optional<MeasurementOutcome> result;
  std::optional<RunStop> stop;
  std::size_t consumed = 0;
};

Outcome runDo23(const std::vector<std::uint8_t>& bytes, MeasurementStage& stage,
                MeasurementEpoch& epoch) {
  Outcome outcome;
  LogReader log(bytes, "z.log");
  try {
    outcome.result = stage.decodeMeasurement(log, epoch);
  } catch (const RunStop& stop) {
    outcome.stop = stop;
  }
  outcome.consumed = static_cast<std::size_t>(log.position());
  return outcome;
}

// Week 1356 after a message at 604795 s in which PRN 5 wrapped once.
MeasurementStage startedStage() {
  MeasurementStage stage({.week = 1356});
  MeasurementEpoch epoch;
  const std::vector<testing::ChannelRecord> channels{{4, 0, 0, testing::carrierWord(1000000, 0)}};
  const Outcome started = runDo23(testing::measurementBody(604795.0, channels), stage, epoch);
  EXPECT_EQ(started.result, MeasurementOutcome::kept);
  EXPECT_EQ(stage.rollover().wrapCount(5), -1);
  return stage;
}

std::string printed3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

TEST(Do23, UnusableReceiveTimeReadsOnlyTheHeadAndChangesNothing) {
  const double times[] = {-1.0, -1e-300, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(), 2147483647.5};
  // A PRN 33 channel would stop the run if the records were read.
  const std::vector<testing::ChannelRecord> channels{{0x20, 0, 0, 0}, {4, 0, 0, 0}};
  for (double t : times) {
    MeasurementStage stage = startedStage();
    MeasurementEpoch epoch;
    epoch.channelCount = 77;
    const Outcome outcome = runDo23(testing::measurementBody(t, channels), stage, epoch);
    EXPECT_EQ(outcome.result, MeasurementOutcome::unusable) << t;
    EXPECT_EQ(outcome.consumed, 11u) << t;
    EXPECT_EQ(epoch.channelCount, 77) << t;
    EXPECT_EQ(stage.weeks().week(), 1356);
    EXPECT_EQ(stage.weeks().previousReceiveTime(), 604795.0);
    EXPECT_EQ(stage.rollover().wrapCount(5), -1);
    EXPECT_EQ(stage.rollover().previousRawPhase(5), 1000000.0);
  }
}

TEST(Do23, EveryChannelIsReadAndRepairedForKeptAndDroppedEpochs) {
  struct Case {
    double receiveTime;
    int channels;
    MeasurementOutcome expected;
  };
  const Case cases[] = {{100.0, 0, MeasurementOutcome::kept},
                        {101.0, 1, MeasurementOutcome::dropped},
                        {105.0, 13, MeasurementOutcome::kept},
                        {104.6, 40, MeasurementOutcome::kept},
                        {7.0, 255, MeasurementOutcome::dropped}};
  for (const Case& c : cases) {
    // Channel k: PRN k % 32 + 1, raw phase 1000 + k cycles.
    std::vector<testing::ChannelRecord> channels;
    for (int k = 0; k < c.channels; ++k) {
      channels.push_back({static_cast<std::uint8_t>(k % 32), 100, 0,
                          testing::carrierWord(static_cast<std::uint32_t>(1000 + k), 0)});
    }
    std::vector<std::uint8_t> bytes = testing::measurementBody(c.receiveTime, channels);
    bytes.insert(bytes.end(), {0xAA, 0x55, 0x01});  // trailer and more, never read
    MeasurementStage stage = startedStage();
    MeasurementEpoch epoch;
    epoch.channelCount = 77;
    const Outcome outcome = runDo23(bytes, stage, epoch);
    ASSERT_FALSE(outcome.stop.has_value()) << c.receiveTime;
    EXPECT_EQ(outcome.result, c.expected) << c.receiveTime;
    EXPECT_EQ(outcome.consumed, 11u + 11u * static_cast<std::size_t>(c.channels));
    // Any backwards receive time is a week rollover, kept or dropped.
    EXPECT_EQ(stage.weeks().week(), 1357) << c.receiveTime;
    EXPECT_EQ(stage.weeks().previousReceiveTime(), c.receiveTime);
    for (int k = c.channels - 1; k >= std::max(0, c.channels - 32); --k) {
      EXPECT_EQ(stage.rollover().previousRawPhase(k % 32 + 1), 1000.0 + k) << k;
    }
    // A dropped epoch leaves the caller's epoch alone; a kept one holds
    // every channel.
    const bool kept = c.expected == MeasurementOutcome::kept;
    EXPECT_EQ(epoch.channelCount, kept ? c.channels : 77) << c.receiveTime;
    if (kept && c.channels > 0) {
      EXPECT_EQ(epoch.channels[0].prn, 1);
    }
  }
}

TEST(Do23, IntervalAndFullDecodingFollowTheSettings) {
  struct Case {
    std::int32_t interval;
    bool decodeDropped;
    double receiveTime;
    MeasurementOutcome expected;
    bool decoded;
  };
  const Case cases[] = {
      {5, false, 100.0, MeasurementOutcome::kept, true},
      {5, false, 101.0, MeasurementOutcome::dropped, false},
      {5, true, 101.0, MeasurementOutcome::dropped, true},
      {1, false, 101.4, MeasurementOutcome::kept, true},
      {1, false, 101.5, MeasurementOutcome::kept, true},
      {30, false, 90.0, MeasurementOutcome::kept, true},
      {30, false, 105.0, MeasurementOutcome::dropped, false},
      {3600, true, 7199.6, MeasurementOutcome::kept, true},
  };
  // PRN 5 wraps up at its second epoch; the signal byte 181 is 45.25 dB-Hz.
  const std::vector<testing::ChannelRecord> first{{4, 0, 0, testing::carrierWord(1048000, 0)}};
  const std::vector<testing::ChannelRecord> second{{4, 181, 0, testing::carrierWord(100, 0)}};
  for (const Case& c : cases) {
    MeasurementStage stage(
        {.week = 1400, .decimationSeconds = c.interval, .decodeDroppedEpochs = c.decodeDropped});
    MeasurementEpoch epoch;
    runDo23(testing::measurementBody(c.receiveTime - 1.0, first), stage, epoch);
    epoch.channelCount = 77;
    const Outcome outcome = runDo23(testing::measurementBody(c.receiveTime, second), stage, epoch);
    EXPECT_EQ(outcome.result, c.expected) << c.interval << " " << c.receiveTime;
    ASSERT_EQ(epoch.channelCount, c.decoded ? 1 : 77) << c.interval << " " << c.receiveTime;
    if (!c.decoded) continue;
    EXPECT_EQ(epoch.receiveTime, c.receiveTime);
    EXPECT_EQ(epoch.week, 1400);
    EXPECT_EQ(epoch.channels[0].carrierToNoise, 45.25);
    EXPECT_EQ(epoch.channels[0].rolloverStep, 1);
    EXPECT_EQ(epoch.channels[0].carrierPhase, 100.0);  // -1 wrap at first, +1 now
  }
}

TEST(Do23, KeptEpochIsDecodedAndDated) {
  MeasurementStage stage({.week = 1356});
  // Lifted past the week's end by the minute guard: dated next week, while
  // the run's week waits for the receive time to run backwards.
  const std::vector<testing::ChannelRecord> channels{
      {4, 128, 1048576, testing::carrierWord(1000000, 0, 1)}};
  MeasurementEpoch epoch;
  const Outcome outcome =
      runDo23(testing::measurementBody(604799.99999998, channels), stage, epoch);
  ASSERT_EQ(outcome.result, MeasurementOutcome::kept);
  EXPECT_EQ(stage.weeks().week(), 1356);
  EXPECT_EQ(epoch.receiveTime, 604799.99999998);
  EXPECT_EQ(epoch.time.year, 2006);
  EXPECT_EQ(epoch.time.month, 1);
  EXPECT_EQ(epoch.time.day, 8);
  EXPECT_EQ(epoch.time.hour, 0);
  EXPECT_EQ(epoch.time.minute, 0);
  EXPECT_LT(epoch.time.second, 5e-8);
  ASSERT_EQ(epoch.channelCount, 1);
  const ChannelMeasurement& channel = epoch.channels[0];
  EXPECT_EQ(channel.prn, 5);
  EXPECT_EQ(channel.carrierPhase, -48576.0);  // the first phase above the threshold wraps
  EXPECT_EQ(channel.lossOfLock, 5);
  EXPECT_EQ(channel.signalFlag, 5);
  EXPECT_EQ(printed3(channel.pseudorange), "299642409.242");
}

TEST(Do23, StopsInsideTheBody) {
  const std::vector<testing::ChannelRecord> channels{
      {4, 0, 0, testing::carrierWord(1000000, 0)}, {0x20, 0, 0, 0}, {5, 0, 0, 0}};
  const std::vector<std::uint8_t> full = testing::measurementBody(100.0, channels);
  // Cut inside the head, inside the first record, and complete with PRN 33
  // second.
  for (std::size_t length : {std::size_t{5}, std::size_t{20}, full.size()}) {
    MeasurementStage stage({.week = 1356});
    MeasurementEpoch epoch;
    const std::vector<std::uint8_t> bytes(full.data(), full.data() + length);
    const Outcome outcome = runDo23(bytes, stage, epoch);
    ASSERT_TRUE(outcome.stop.has_value()) << length;
    if (length == full.size()) {
      // The channel before the stop has run through the rollover repair.
      EXPECT_EQ(outcome.stop->kind(), RunStop::Kind::prnOutOfRange);
      EXPECT_EQ(stage.rollover().wrapCount(5), -1);
      EXPECT_EQ(stage.rollover().previousRawPhase(5), 1000000.0);
      EXPECT_EQ(outcome.consumed, 33u);
    } else {
      EXPECT_EQ(outcome.stop->kind(), RunStop::Kind::diagnostic);
      EXPECT_EQ(outcome.stop->diagnostic(), Diagnostic::endOfFile);
      EXPECT_EQ(outcome.stop->unit(), logUnit);
      EXPECT_EQ(outcome.stop->file(), "z.log");
    }
  }
}

}  // namespace
}  // namespace kapolex
