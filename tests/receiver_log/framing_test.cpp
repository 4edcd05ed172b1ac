#include "receiver_log/framing.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "measure/measurement_stage.hpp"
#include "support/log_builder.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::LogBuilder;
using Counts = std::map<int, std::int64_t>;

// Counts every message the framer yields; measurement bodies are read by
// the measurement stage, as in a run.
Counts countMessages(LogReader& log) {
  Counts counts;
  MessageFramer framer(log);
  MeasurementStage measurements({.week = 1356});
  MeasurementEpoch epoch;
  while (const std::optional<MessageHeader> message = framer.next()) {
    ++counts[message->id];
    if (isMeasurementMessage(message->id)) measurements.decodeMeasurement(log, epoch);
  }
  EXPECT_FALSE(framer.next().has_value()) << "the walk stays ended";
  return counts;
}

Counts frameInMemory(const std::vector<std::uint8_t>& bytes) {
  LogReader log(bytes, "z.log");
  const Counts counts = countMessages(log);
  EXPECT_EQ(log.position(), bytes.size()) << "the walk ends only at the end of the log";
  return counts;
}

TEST(Framing, EdgeCasesOfTheWalk) {
  const std::vector<std::uint8_t> body10(10, 0x01);
  const std::vector<std::uint8_t> skippedBody{0x01, 0x17, 0xE8, 0x01, 0x05, 0xFA, 0x00};
  struct Case {
    const char* name;
    std::vector<std::uint8_t> log;
    Counts expected;
  };
  const Case cases[] = {
      {"empty log", {}, {}},
      {"shorter than a header", {0x01, 0x05, 0xFA}, {}},
      {"zero-length frame is not counted", {0x01, 0x17, 0xE8, 0x00, 0x01, 0x05}, {}},
      {"zero-length frame consumes its trailer only",
       LogBuilder().raw({0x01, 0x05, 0xFA, 0x00, 0xAA, 0xBB}).other(9, 1).bytes(),
       {{9, 1}}},
      {"body cut off by the end of the log is counted",
       LogBuilder().raw({0x01, 0x05, 0xFA, 10, 1, 2, 3}).bytes(),
       {{5, 1}}},
      {"end inside the trailer",
       LogBuilder().raw({0x01, 0x06, 0xF9, 1, 0, 0xAA}).bytes(),
       {{6, 1}}},
      {"leading garbage slides to the first valid window",
       LogBuilder().raw({0x00, 0x01, 0x01, 0x01, 0xFE, 0x02, 0x10, 0x11, 0xAA, 0xBB}).bytes(),
       {{1, 1}}},
      {"wrong complement is slid over",
       LogBuilder().raw({0x01, 0x05, 0xFB, 0x01, 0x00}).other(7, 3).bytes(),
       {{7, 1}}},
      {"header bytes inside a skipped body are not headers",
       LogBuilder().frame(40, skippedBody).other(41, 2).bytes(),
       {{40, 1}, {41, 1}}},
      {"length 0xFF skips 255 bytes",
       LogBuilder().other(200, 255, 0x01).other(200, 1).bytes(),
       {{200, 2}}},
      {"next search starts after the trailer with a fresh window",
       LogBuilder().raw({0x01, 0x05, 0xFA, 1, 0xEE, 0x01, 0x05}).raw({0xFA, 0x01}).bytes(),
       {{5, 1}}},
      {"a header needs its length byte",
       LogBuilder().other(3, 1).raw({0x01, 0x04, 0xFB}).bytes(),
       {{3, 1}}},
      {"ten bytes of body", LogBuilder().frame(5, body10).frame(5, body10).bytes(), {{5, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(frameInMemory(c.log), c.expected);
  }
}

TEST(Framing, MeasurementIdsAreDispatchedAndCounted) {
  // A negative receive time makes the measurement stage return after 11 body
  // bytes; the rest of the body then slides by.
  std::vector<testing::ChannelRecord> channels(2);
  channels[0].prnByte = 0x01;
  const std::vector<std::uint8_t> log = LogBuilder()
                                            .measurement(-1.0, channels, 23)
                                            .measurement(-1.0, channels, 151)
                                            .other(8, 4)
                                            .bytes();
  EXPECT_EQ(frameInMemory(log), (Counts{{23, 1}, {151, 1}, {8, 1}}));
}

// The walk exactly as the receiver log's framing is described: a 3-byte
// read, a 1-byte read, then one byte per failed header test. Used to check
// the buffered search on random data without measurement IDs.
Counts frameByTheBook(const std::vector<std::uint8_t>& bytes) {
  Counts counts;
  std::size_t pos = 0;
  const auto take = [&](std::size_t n) {
    if (bytes.size() - pos < n) return false;
    pos += n;
    return true;
  };
  for (;;) {
    if (!take(3)) return counts;
    std::uint8_t w0 = bytes[pos - 3], w1 = bytes[pos - 2], w2 = bytes[pos - 1];
    if (!take(1)) return counts;
    std::uint8_t w3 = bytes[pos - 1];
    while (!(w0 == 1 && (w1 + w2) % 256 == 255)) {
      w0 = w1;
      w1 = w2;
      w2 = w3;
      if (!take(1)) return counts;
      w3 = bytes[pos - 1];
    }
    if (w3 != 0) {
      ++counts[w1];
      if (!take(w3)) return counts;
    }
    if (!take(2)) return counts;
  }
}

std::vector<std::uint8_t> randomLogWithoutMeasurements(std::mt19937& random, std::size_t size) {
  std::vector<std::uint8_t> bytes;
  std::uniform_int_distribution<int> byte(0, 255);
  while (bytes.size() < size) {
    // Mostly valid frames with some damage, so that both paths get exercised.
    const int choice = byte(random);
    if (choice < 200) {
      auto id = static_cast<std::uint8_t>(byte(random));
      if (id == 23 || id == 151) id = 24;
      const int length = choice < 20 ? 0 : byte(random) % 40;
      bytes.insert(bytes.end(),
                   {0x01, id, static_cast<std::uint8_t>(~id), static_cast<std::uint8_t>(length)});
      for (int i = 0; i < length + 2; ++i) bytes.push_back(static_cast<std::uint8_t>(byte(random)));
    } else {
      bytes.push_back(choice < 230 ? 0x01 : static_cast<std::uint8_t>(byte(random)));
    }
  }
  for (std::uint8_t& b : bytes) {
    if (b == 23 || b == 151) b = 22;
  }
  return bytes;
}

TEST(Framing, BufferedSearchMatchesTheByteByByteWalk) {
  std::mt19937 random(20060120);
  for (int round = 0; round < 200; ++round) {
    const std::vector<std::uint8_t> bytes =
        randomLogWithoutMeasurements(random, static_cast<std::size_t>(random() % 3000));
    ASSERT_EQ(frameInMemory(bytes), frameByTheBook(bytes)) << "round " << round;
  }
}

TEST(Framing, FileReadsAcrossBlockBoundariesMatchMemory) {
  std::mt19937 random(7);
  // Three and a half blocks, so headers, bodies and trailers straddle refills.
  const std::vector<std::uint8_t> bytes =
      randomLogWithoutMeasurements(random, logBlockSize * 7 / 2);
  testing::ScratchFolder folder;
  folder.write("z.log", std::string(bytes.begin(), bytes.end()));
  const platform::OpenedFile file = platform::openForReading((folder.path() / "z.log").string());
  ASSERT_EQ(file.failure, platform::OpenFailure::none);
  LogReader log(FileHandle(file.handle), "z.log");
  EXPECT_EQ(countMessages(log), frameByTheBook(bytes));
}

}  // namespace
}  // namespace kapolex
