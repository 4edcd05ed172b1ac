// Byte layout of receiver messages: a 4-byte header (sync, id, complement of
// id, body length), the body and a 2-byte trailer. All multi-byte items are
// little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zlogsim {

inline constexpr std::uint8_t syncByte = 0x01;
inline constexpr std::uint8_t measurementId = 23;
inline constexpr std::uint8_t measurementIdHigh = 151;  // 23 with the top bit set
inline constexpr std::size_t headerSize = 4;
inline constexpr std::size_t trailerSize = 2;
inline constexpr std::size_t maxChannels = 12;
inline constexpr std::size_t channelRecordSize = 11;
inline constexpr std::size_t measurementHeadSize = 11;
inline constexpr std::size_t maxMessageSize = headerSize + 255 + trailerSize;

// One tracking channel as it appears in a measurement body.
struct ChannelRecord {
  std::uint8_t prnByte = 0;  // bits 0-5: PRN - 1; bits 6-7 are free for the receiver
  std::uint8_t signal = 0;   // C/N0, quarter dB-Hz
  std::int32_t codePhase = 0;
  std::uint32_t carrierWord = 0;
  std::uint8_t reserved = 0;
};

// One measurement message body before encoding.
struct MeasurementBody {
  std::array<std::uint8_t, 2> reserved{};
  double receiveTime = 0.0;      // seconds of week by the receiver's clock
  std::size_t channelCount = 0;  // at most maxChannels
  std::array<ChannelRecord, maxChannels> channels{};
};

// Body length of a measurement message with n channels: 11 + 11 n.
constexpr std::size_t measurementBodySize(std::size_t n) {
  return measurementHeadSize + channelRecordSize * n;
}

// The trailer the simulated receiver appends: a 16-bit sum of the id, length
// and body bytes. Readers do not check it; any value would be legal.
std::uint16_t trailerSum(std::span<const std::uint8_t> idLengthAndBody);

// Writes a whole message (header, body, trailer) to out, which must hold
// headerSize + body.size() + trailerSize bytes; body.size() <= 255. Returns the
// bytes written.
std::size_t encodeMessage(std::uint8_t* out, std::uint8_t id, std::span<const std::uint8_t> body);

// Writes a whole measurement message with the given id (23 or 151) to out,
// which must hold maxMessageSize bytes. Returns the bytes written.
std::size_t encodeMeasurementMessage(std::uint8_t* out, std::uint8_t id,
                                     const MeasurementBody& body);

}  // namespace zlogsim
