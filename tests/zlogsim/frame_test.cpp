// Byte layout of encoded messages.
#include "zlogsim/frame.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace zlogsim {
namespace {

std::vector<std::uint8_t> encode(std::uint8_t id, const MeasurementBody& body) {
  std::vector<std::uint8_t> out(maxMessageSize, 0xAA);
  out.resize(encodeMeasurementMessage(out.data(), id, body));
  return out;
}

TEST(Frame, MeasurementMessageByteByByte) {
  MeasurementBody body;
  body.reserved = {0x12, 0x34};
  body.receiveTime = 100.25;  // 0x4059100000000000
  body.channelCount = 2;
  body.channels[0] = {0xC5, 0x80, -2, 0x00001001, 0x77};
  body.channels[1] = {0x1F, 0xFF, 0x12345678, 0xA1B2C3D4, 0x00};
  const std::vector<std::uint8_t> m = encode(measurementId, body);

  const std::vector<std::uint8_t> expected = {
      0x01, 0x17, 0xE8, 33,                            // sync, id, complement, length
      0x12, 0x34, 0x02,                                // reserved, reserved, N
      0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x59, 0x40,  // receive time, little-endian
      0xC5, 0x80, 0xFE, 0xFF, 0xFF, 0xFF,              // PRN byte, signal, code phase -2
      0x01, 0x10, 0x00, 0x00, 0x77,                    // carrier word, reserved
      0x1F, 0xFF, 0x78, 0x56, 0x34, 0x12,              //
      0xD4, 0xC3, 0xB2, 0xA1, 0x00,                    //
  };
  ASSERT_EQ(m.size(), expected.size() + trailerSize);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m.begin()));
  // Trailer: 16-bit sum of id, length and body, little-endian.
  const unsigned sum = std::accumulate(m.begin() + 1, m.end() - 2, 0U) - m[2];
  EXPECT_EQ(m[m.size() - 2], sum & 0xFF);
  EXPECT_EQ(m[m.size() - 1], (sum >> 8) & 0xFF);
}

TEST(Frame, HeaderCarriesIdComplementAndLengthForEveryChannelCount) {
  for (std::uint8_t id : {measurementId, measurementIdHigh}) {
    for (std::size_t n = 0; n <= maxChannels; ++n) {
      MeasurementBody body;
      body.channelCount = n;
      const std::vector<std::uint8_t> m = encode(id, body);
      ASSERT_EQ(m.size(), 4 + 11 + 11 * n + 2);
      EXPECT_EQ(m[0], 0x01);
      EXPECT_EQ(m[1], id);
      EXPECT_EQ((m[1] + m[2]) % 256, 255);
      EXPECT_EQ(m[3], 11 + 11 * n);
      EXPECT_EQ(m[6], n);
    }
  }
  MeasurementBody full;
  full.channelCount = maxChannels;
  EXPECT_EQ(encode(measurementIdHigh, full)[3], 0x8F);
  EXPECT_EQ(encode(measurementIdHigh, full)[2], 0x68);
}

TEST(Frame, OtherMessagesCopyTheirBodyAndMayBeEmpty) {
  const std::uint8_t body[] = {0x01, 0x17, 0xE8, 0x00, 0xFF};
  std::uint8_t out[16] = {};
  ASSERT_EQ(encodeMessage(out, 200, body), 11U);
  EXPECT_EQ(out[0], 0x01);
  EXPECT_EQ(out[1], 200);
  EXPECT_EQ(out[2], 55);
  EXPECT_EQ(out[3], 5);
  EXPECT_TRUE(std::equal(std::begin(body), std::end(body), out + 4));
  const unsigned sum = 200 + 5 + 0x01 + 0x17 + 0xE8 + 0xFF;
  EXPECT_EQ(out[9], sum & 0xFF);
  EXPECT_EQ(out[10], sum >> 8);

  ASSERT_EQ(encodeMessage(out, 7, {}), 6U);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 7);  // trailer sum: id + length
  EXPECT_EQ(out[5], 0);
}

}  // namespace
}  // namespace zlogsim
