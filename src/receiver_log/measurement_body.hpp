// The byte layout of a measurement message body. The receiver writes every
// item little-endian; items are assembled from single bytes so that the
// values come out the same on any host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/measurement.hpp"
#include "compat/bit_cast.hpp"

namespace kapolex {

// Two reserved bytes, the channel count and the 8-byte receive time open the
// body; one record per channel follows.
constexpr std::size_t bodyHeadSize = 11;
constexpr std::size_t channelRecordSize = 11;

// The unsigned little-endian 32-bit value at bytes[0..3].
constexpr std::uint32_t loadLittle32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The unsigned little-endian 64-bit value at bytes[0..7].
constexpr std::uint64_t loadLittle64(const std::uint8_t* bytes) {
  return static_cast<std::uint64_t>(loadLittle32(bytes)) |
         static_cast<std::uint64_t>(loadLittle32(bytes + 4)) << 32;
}

struct BodyHead {
  std::int32_t channelCount = 0;  // 0 to 255
  double receiveTime = 0.0;       // seconds of the GPS week, exactly as sent
};

// The channel count and receive time from the body's first 11 bytes; the two
// reserved bytes carry nothing the conversion needs.
constexpr BodyHead readBodyHead(const std::uint8_t* head) {
  return BodyHead{head[2], bitCast<double>(loadLittle64(head + 3))};
}

// Beyond this the receive time's nearest integer leaves 32 bits.
constexpr double receiveTimeLimit = 2147483648.0;

// False for a receive time the message cannot be used with: negative, not a
// number, or so large that t + 0.5 reaches 2^31 (only damaged logs do that).
// Such a body ends after its head: its records are never read.
constexpr bool isUsableReceiveTime(double receiveTime) {
  // Written so that a NaN fails: every comparison with it is false.
  return receiveTime >= 0.0 && receiveTime + 0.5 < receiveTimeLimit;
}

// How many bytes of a body with this head are read: the head, and the
// channel records when its receive time is usable.
constexpr std::size_t bodyReadSize(const BodyHead& head) {
  return bodyHeadSize + (isUsableReceiveTime(head.receiveTime)
                             ? static_cast<std::size_t>(head.channelCount) * channelRecordSize
                             : 0);
}

// The most bytes a body's reading takes: its head and 255 channel records.
constexpr std::size_t longestBodyRead =
    bodyHeadSize + static_cast<std::size_t>(maxChannels) * channelRecordSize;

// One channel record as the receiver packs it.
struct ChannelRecord {
  std::uint8_t prnByte = 0;       // bits 0-5: PRN - 1
  std::uint8_t signalByte = 0;    // signal strength, unsigned
  std::int32_t codePhase = 0;     // 1/2048 C/A chip, two's complement
  std::uint32_t carrierWord = 0;  // flags, phase fraction, whole cycles
};

// The fields of an 11-byte channel record; its last byte is reserved.
constexpr ChannelRecord readChannelRecord(const std::uint8_t* record) {
  // Unsigned to signed is a modular conversion, so the two's complement word
  // maps onto the same signed value on every host.
  return ChannelRecord{record[0], record[1], static_cast<std::int32_t>(loadLittle32(record + 2)),
                       loadLittle32(record + 6)};
}

}  // namespace kapolex
