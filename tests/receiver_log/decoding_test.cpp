#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "receiver_log/channel_decoding.hpp"
#include "receiver_log/measurement_body.hpp"

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
    EXPECT_EQ(signalDigitOf(raw), digit) << raw;
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
              signalDigitOf(raw))
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
