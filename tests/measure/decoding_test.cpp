#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "measure/channel_decoding.hpp"
#include "measure/measurement_body.hpp"
#include "measure/rollover.hpp"

namespace kapolex {
namespace {

std::string printed3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

TEST(ChannelDecoding, CarrierWordIsUnsignedWithFlagsInTheLowBits) {
  struct Case {
    std::uint32_t word;
    double phase;
    std::int32_t lossOfLock;
  };
  const Case cases[] = {{0x00000000u, 0.0, 4},          {0x00000800u, 0.5, 4},
                        {0x00001001u, 1.0, 5},          {0x00000002u, 0.0, 5},
                        {0x00000FFCu, 0.9990234375, 4}, {0xFFFFFFFFu, 1048575.9990234375, 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(rawCarrierPhase(c.word), c.phase) << c.word;
    EXPECT_EQ(lossOfLockDigit(c.word), c.lossOfLock) << c.word;
  }
}

TEST(ChannelDecoding, MapsnrFollowsTheDigitTableForEverySignalByte) {
  // Each bound starts the next digit: 16 to 47 is 2, ..., 240 to 255 is 9.
  const int bounds[] = {16, 48, 80, 112, 144, 176, 208, 240};
  for (int raw = 0; raw < 256; ++raw) {
    std::int32_t digit = 1;
    for (int bound : bounds) digit += raw >= bound ? 1 : 0;
    EXPECT_EQ(MAPSNR(raw), digit) << raw;
  }
}

TEST(ChannelDecoding, PseudorangePrintsTheExpectedMetres) {
  struct Case {
    double receiveTime;
    std::int32_t codePhase;
    const char* metres;
  };
  const Case cases[] = {
      {100.25, 1048576, "74798071.745"},
      {100.0, 1048576, "299642415.245"},  // negative travel: one second added
      {7.5, -1048576, "150046271.755"},
      {100.0, 0, "0.000"},
      {0.5, std::numeric_limits<std::int32_t>::min(), "457183791.502"},  // 1 s or more stays
      {604799.75, std::numeric_limits<std::int32_t>::max(), "217349239.141"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printed3(pseudorange(secondFraction(c.receiveTime), c.codePhase)), c.metres)
        << c.receiveTime;
  }
}

TEST(ChannelDecoding, RecordAndHeadAreLittleEndian) {
  const std::uint8_t head[] = {0x12, 0x34, 0xC8, 0, 0, 0, 0, 0, 0x10, 0x59, 0x40};
  EXPECT_EQ(readBodyHead(head).channelCount, 200);
  EXPECT_EQ(readBodyHead(head).receiveTime, 100.25);

  const std::uint8_t record[] = {0xC5, 0xFF, 0x00, 0x00, 0xF0, 0xFF, 0x01, 0x18, 0x00, 0x80, 0x99};
  const ChannelMeasurement channel = decodeChannel(readChannelRecord(record), secondFraction(7.5));
  EXPECT_EQ(channel.prn, 6);  // bits 6 and 7 of the PRN byte are ignored
  EXPECT_EQ(channel.signalFlag, 9);
  EXPECT_EQ(channel.lossOfLock, 5);
  EXPECT_EQ(channel.carrierPhase, 524289.5);                  // 0x80001 cycles and 512/1024
  EXPECT_EQ(printed3(channel.pseudorange), "150046271.755");  // code phase -1048576
}

// A rollover history in which PRN prn has counted count wraps and last saw
// phase, reached through CROFIX alone: steps below the threshold count
// nothing, a fall from near the top to near 0 counts one wrap up and a rise
// from near 0 to near the top one wrap down.
PhaseRollover historyOf(std::int32_t prn, std::int64_t count, double phase) {
  PhaseRollover rollover;
  const double up[] = {500000.0, 1000000.0, 100.0};
  const double down[] = {1000000.0, 500000.0, 100.0};
  for (std::int64_t n = 0; n < std::abs(count); ++n) {
    for (const double raw : count > 0 ? up : down) rollover.CROFIX(prn, raw);
  }
  double last = count == 0 ? 0.0 : 100.0;
  while (std::abs(phase - last) > 500000.0) {
    last += phase > last ? 500000.0 : -500000.0;
    rollover.CROFIX(prn, last);
  }
  rollover.CROFIX(prn, phase);
  return rollover;
}

TEST(Rollover, SequencesPerPrn) {
  struct Case {
    std::int32_t prn;
    std::vector<double> raw;
    std::vector<double> written;
    std::int64_t count;
    std::int64_t startCount = 0;
    double startPhase = 0.0;
  };
  const Case cases[] = {
      {5, {1000.5}, {1000.5}, 0},
      {7, {1000000.0}, {-48576.0}, -1},  // a first phase above the threshold counts
      {9, {500000.0, 1048000.0, 200.0, 900.0}, {500000.0, 1048000.0, 1048776.0, 1049476.0}, 1},
      {3, {300.0, 1048376.0}, {300.0, -200.0}, -1},
      {1, {943718.0}, {943718.0}, 0},
      {32, {943718.5}, {-104857.5}, -1},
      {7, {1000000.0, 1048000.0, 100.0}, {-48576.0, -576.0, 100.0}, 0},  // back to 0
      // Counts whose correction leaves 32 bits.
      {2, {1000000.0}, {1000000.0 - 2147483648.0}, -2048, -2047},
      {2, {100.0}, {2147483748.0}, 2048, 2047, 1000000.0},
      {2, {20.0}, {5242880020.0}, 5000, 5000, 10.0},
  };
  for (const Case& c : cases) {
    PhaseRollover rollover = historyOf(c.prn, c.startCount, c.startPhase);
    ASSERT_EQ(rollover.wrapCount(c.prn), c.startCount);
    ASSERT_EQ(rollover.previousRawPhase(c.prn), c.startPhase);
    for (std::size_t i = 0; i < c.raw.size(); ++i) {
      EXPECT_EQ(rollover.CROFIX(c.prn, c.raw[i]), c.written[i]) << "PRN " << c.prn << " call " << i;
    }
    EXPECT_EQ(rollover.previousRawPhase(c.prn), c.raw.back()) << c.prn;
    EXPECT_EQ(rollover.wrapCount(c.prn), c.count) << c.prn;
  }
}

TEST(Rollover, PrnOutsideTableStopsWithoutTouchingIt) {
  for (std::int32_t prn : {0, 33, 64, -1, std::numeric_limits<std::int32_t>::min()}) {
    PhaseRollover rollover;
    for (std::int32_t known = 1; known <= prnCount; ++known) rollover.CROFIX(known, 1000000.0);
    const PhaseRollover before = rollover;
    try {
      rollover.CROFIX(prn, 999999.0);
      ADD_FAILURE() << "PRN " << prn << " accepted";
    } catch (const RunStop& stop) {
      EXPECT_EQ(stop.kind(), RunStop::Kind::prnOutOfRange);
    }
    for (std::int32_t known = 1; known <= prnCount; ++known) {
      EXPECT_EQ(rollover.previousRawPhase(known), before.previousRawPhase(known));
      EXPECT_EQ(rollover.wrapCount(known), before.wrapCount(known));
    }
  }
}

// The decoding takes shortcuts that must give the very doubles of the
// formulas they replace: one conversion for the carrier phase, a looked-up
// signal digit, and the second's fraction without the library's remainder.
TEST(ChannelDecoding, ShortcutsGiveTheFormulasDoubles) {
  std::mt19937_64 random(151);
  for (int trial = 0; trial < 200000; ++trial) {
    const auto word = static_cast<std::uint32_t>(random());
    const double twoTerms =
        static_cast<double>(word >> 12) + static_cast<double>((word >> 2) & 0x3FFu) * 0.0009765625;
    ASSERT_EQ(rawCarrierPhase(word), twoTerms) << word;
  }
  for (int raw = 0; raw < 256; ++raw) {
    EXPECT_EQ(decodeChannel(ChannelRecord{0, static_cast<std::uint8_t>(raw), 0, 0}, 0.0).signalFlag,
              MAPSNR(raw))
        << raw;
  }
  std::uniform_real_distribution<double> seconds(0.0, 604800.0);
  std::vector<double> times{0.0,
                            -0.0,
                            0.5,
                            1.0,
                            59.99999998,
                            604799.99999998,
                            0x1p52 - 0.5,
                            0x1p52,
                            0x1p60,
                            std::nextafter(1.0, 0.0),
                            std::nextafter(1.0, 2.0)};
  for (int trial = 0; trial < 200000; ++trial) times.push_back(seconds(random));
  for (const double t : times) {
    const double fraction = secondFraction(t);
    const double expected = std::fmod(t, 1.0);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(fraction), std::bit_cast<std::uint64_t>(expected))
        << std::hexfloat << t;
  }
}

}  // namespace
}  // namespace kapolex
