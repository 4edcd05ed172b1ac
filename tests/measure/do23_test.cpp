#include "measure/do23.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "support/log_builder.hpp"

namespace kapolex {
namespace {

struct Outcome {
  std::size_t consumed = 0;
  std::vector<std::string> lines;
  std::optional<RunStop> stop;
};

Outcome runDo23(const std::vector<std::uint8_t>& bytes, ConversionState& state) {
  Outcome outcome;
  std::string written;
  LogReader log(bytes, "z.log");
  OutputSink obs(written, observationUnit, "z.obs", 1 << 16);
  try {
    DO23(log, obs, state);
  } catch (const RunStop& stop) {
    outcome.stop = stop;
  }
  obs.flush();
  outcome.consumed = static_cast<std::size_t>(log.position());
  for (std::size_t at = 0, end; (end = written.find("\r\n", at)) != std::string::npos;
       at = end + 2) {
    outcome.lines.push_back(written.substr(at, end - at));
  }
  return outcome;
}

// Week 1356 after a message at 604795 s; PRN 5 has a history of its own.
ConversionState startedState() {
  ConversionState state;
  state.week = 1356;
  state.previousReceiveTime = 604795.0;
  state.wrapCount[4] = 2;
  state.previousRawPhase[4] = 5.0;
  return state;
}

TEST(Do23, UnusableReceiveTimeReadsOnlyTheHeadAndChangesNothing) {
  const double times[] = {-1.0, -1e-300, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(), 2147483647.5};
  // A PRN 33 channel would stop the run if the records were read.
  const std::vector<testing::ChannelRecord> channels{{0x20, 0, 0, 0}, {4, 0, 0, 0}};
  for (double t : times) {
    ConversionState state = startedState();
    state.headerPending = logicalTrue;
    const Outcome outcome = runDo23(testing::measurementBody(t, channels), state);
    EXPECT_FALSE(outcome.stop.has_value()) << t;
    EXPECT_EQ(outcome.consumed, 11u) << t;
    EXPECT_TRUE(outcome.lines.empty()) << t;
    EXPECT_EQ(state.week, 1356);
    EXPECT_EQ(state.previousReceiveTime, 604795.0);
    EXPECT_EQ(state.headerPending, logicalTrue);
    EXPECT_EQ(state.wrapCount[4], 2);
    EXPECT_EQ(state.previousRawPhase[4], 5.0);
  }
}

TEST(Do23, EveryChannelIsReadAndRepairedForKeptAndDroppedEpochs) {
  struct Case {
    double receiveTime;
    int channels;
    bool kept;
  };
  const Case cases[] = {
      {100.0, 0, true}, {101.0, 1, false}, {105.0, 13, true}, {104.6, 40, true}, {7.0, 255, false}};
  for (const Case& c : cases) {
    // Channel k: PRN k % 32 + 1, raw phase 1000 + k cycles.
    std::vector<testing::ChannelRecord> channels;
    for (int k = 0; k < c.channels; ++k) {
      channels.push_back({static_cast<std::uint8_t>(k % 32), 100, 0,
                          testing::carrierWord(static_cast<std::uint32_t>(1000 + k), 0)});
    }
    std::vector<std::uint8_t> bytes = testing::measurementBody(c.receiveTime, channels);
    bytes.insert(bytes.end(), {0xAA, 0x55, 0x01});  // trailer and more, never read
    ConversionState state = startedState();
    const Outcome outcome = runDo23(bytes, state);
    ASSERT_FALSE(outcome.stop.has_value()) << c.receiveTime;
    EXPECT_EQ(outcome.consumed, 11u + 11u * static_cast<std::size_t>(c.channels));
    // Any backwards receive time is a week rollover, kept or dropped.
    EXPECT_EQ(state.week, 1357) << c.receiveTime;
    EXPECT_EQ(state.previousReceiveTime, c.receiveTime);
    for (int k = c.channels - 1; k >= std::max(0, c.channels - 32); --k) {
      EXPECT_EQ(state.previousRawPhase[static_cast<std::size_t>(k % 32)], 1000.0 + k) << k;
    }
    // Observation lines are the 30-column ones.
    const auto observations = std::count_if(outcome.lines.begin(), outcome.lines.end(),
                                            [](const std::string& l) { return l.size() == 30; });
    EXPECT_EQ(observations, c.kept ? c.channels : 0) << c.receiveTime;
    EXPECT_EQ(outcome.lines.empty(), !c.kept) << c.receiveTime;
  }
}

TEST(Do23, KeptEpochIsDatedAndWrittenAfterTheHeader) {
  ConversionState state;
  state.week = 1356;
  state.headerPending = logicalTrue;
  // Lifted past the week's end by the minute guard: dated next week, while
  // the run's week waits for the receive time to run backwards.
  const std::vector<testing::ChannelRecord> channels{
      {4, 128, 1048576, testing::carrierWord(1000000, 0, 1)}};
  const Outcome outcome = runDo23(testing::measurementBody(604799.99999998, channels), state);
  ASSERT_FALSE(outcome.stop.has_value());
  EXPECT_EQ(state.week, 1356);
  EXPECT_EQ(state.headerPending, logicalFalse);
  ASSERT_EQ(outcome.lines.size(), 4u);
  EXPECT_NE(outcome.lines[1].find("END OF HEADER"), std::string::npos);
  EXPECT_EQ(outcome.lines[2], "  6  1  8  0  0  0.0000000  0  1G 5");
  EXPECT_EQ(outcome.lines[3], "    -48576.00055 299642409.242");
}

TEST(Do23, StopsInsideTheBody) {
  const std::vector<testing::ChannelRecord> channels{
      {4, 0, 0, testing::carrierWord(1000000, 0)}, {0x20, 0, 0, 0}, {5, 0, 0, 0}};
  const std::vector<std::uint8_t> full = testing::measurementBody(100.0, channels);
  // Cut inside the head, inside the first record, and complete with PRN 33
  // second.
  for (std::size_t length : {std::size_t{5}, std::size_t{20}, full.size()}) {
    ConversionState state;
    const std::vector<std::uint8_t> bytes(full.data(), full.data() + length);
    const Outcome outcome = runDo23(bytes, state);
    ASSERT_TRUE(outcome.stop.has_value()) << length;
    EXPECT_TRUE(outcome.lines.empty());
    if (length == full.size()) {
      // The channel before the stop has run through the rollover repair.
      EXPECT_EQ(outcome.stop->kind(), RunStop::Kind::prnOutOfRange);
      EXPECT_EQ(state.wrapCount[4], -1);
      EXPECT_EQ(state.previousRawPhase[4], 1000000.0);
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
