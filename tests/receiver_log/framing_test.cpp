#include "receiver_log/framing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "measure/measurement_stage.hpp"
#include "support/log_builder.hpp"

namespace kapolex {
namespace {

using testing::LogBuilder;
using Counts = std::map<int, std::int64_t>;

// Counts every message the framer yields; measurement bodies are read by
// the measurement stage, as in a run. A log fed in pieces is fed the next
// piece whenever the framer asks for more.
Counts countMessages(LogReader& log, std::span<const std::uint8_t> pieces = {},
                     std::size_t pieceSize = 0) {
  Counts counts;
  MessageFramer framer(log);
  MeasurementStage measurements({.week = 1356});
  MeasurementEpoch epoch;
  MessageHeader message;
  for (;;) {
    const FrameStep step = framer.next(message);
    if (step == FrameStep::ended) break;
    if (step == FrameStep::needMore) {
      const std::size_t count = std::min(pieces.size(), pieceSize);
      std::copy_n(pieces.begin(), count, log.space().begin());
      pieces = pieces.subspan(count);
      log.add(count);
      if (pieces.empty()) log.end();
      continue;
    }
    ++counts[message.id];
    if (isMeasurementMessage(message.id)) measurements.decodeMeasurement(log, epoch);
  }
  EXPECT_EQ(framer.next(message), FrameStep::ended) << "the walk stays ended";
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

// A message is yielded as soon as its body is held, without waiting for
// its trailer or the next message: a log still being written gets each
// epoch converted the moment its message is complete.
TEST(Framing, YieldsAMessageOnceItsBodyIsHeld) {
  std::vector<testing::ChannelRecord> channels(2);
  channels[1].prnByte = 0x01;
  const std::vector<std::uint8_t> measurement = LogBuilder().measurement(5.0, channels, 23).bytes();
  const std::vector<std::uint8_t> other = LogBuilder().other(9, 20).bytes();
  for (const std::vector<std::uint8_t>* message : {&measurement, &other}) {
    const std::size_t withoutTrailer = message->size() - messageTrailerSize;
    LogReader log("z.log", 4096);
    MessageFramer framer(log);
    MessageHeader header;
    for (std::size_t fed = 0; fed < withoutTrailer; ++fed) {
      ASSERT_EQ(framer.next(header), FrameStep::needMore) << fed;
      log.space()[0] = (*message)[fed];
      log.add(1);
    }
    ASSERT_EQ(framer.next(header), FrameStep::message);
    EXPECT_EQ(header.id, (*message)[1]);
    if (isMeasurementMessage(header.id)) {
      MeasurementStage measurements({.week = 1356});
      MeasurementEpoch epoch;
      EXPECT_EQ(measurements.decodeMeasurement(log, epoch), MeasurementOutcome::kept);
    }
    EXPECT_EQ(framer.next(header), FrameStep::needMore) << "the trailer is still due";
  }
}

// A log fed in pieces, as it arrives from a pipe or a file still being
// written: headers, bodies and trailers are cut at every offset, and the
// walk waits for the rest of each message.
TEST(Framing, LogFedInPiecesMatchesTheWholeLog) {
  std::mt19937 random(7);
  const std::vector<std::uint8_t> bytes = randomLogWithoutMeasurements(random, 20000);
  std::vector<testing::ChannelRecord> channels(3);
  for (std::size_t k = 0; k < channels.size(); ++k) {
    channels[k].prnByte = static_cast<std::uint8_t>(k);
  }
  std::vector<std::uint8_t> withMeasurements = LogBuilder()
                                                   .measurement(5.0, channels, 23)
                                                   .raw(bytes)
                                                   .measurement(-1.0, channels, 151)
                                                   .measurement(10.0, channels, 23)
                                                   .bytes();
  const Counts whole = frameInMemory(withMeasurements);
  for (const std::size_t piece : {1u, 2u, 3u, 5u, 17u, 4096u}) {
    LogReader log("z.log", 8192);
    EXPECT_EQ(countMessages(log, withMeasurements, piece), whole) << piece;
    EXPECT_EQ(log.position(), withMeasurements.size()) << piece;
  }
}

}  // namespace
}  // namespace kapolex
