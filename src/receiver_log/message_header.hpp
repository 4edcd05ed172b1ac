// The four bytes that open every receiver message.
#pragma once

#include <cstdint>

namespace kapolex {

constexpr std::uint8_t messageSync = 0x01;
constexpr int messageHeaderSize = 4;
constexpr int messageTrailerSize = 2;
// Message IDs are one byte.
constexpr int messageIdCount = 256;
// The measurement message, and the same message with the ID's top bit set.
constexpr int measurementMessageId = 23;
constexpr int measurementMessageIdHigh = 151;

struct MessageHeader {
  std::uint8_t sync = 0;
  std::uint8_t id = 0;
  std::uint8_t complement = 0;
  std::uint8_t length = 0;
};

// Whether a message carries a measurement body.
constexpr bool isMeasurementMessage(int id) {
  return id == measurementMessageId || id == measurementMessageIdHigh;
}

// A header is valid when it starts with the sync byte and its ID and
// complement add up to 0xFF; the length byte plays no part.
constexpr bool isValidHeader(std::uint8_t sync, std::uint8_t id, std::uint8_t complement) {
  return sync == messageSync && static_cast<std::uint8_t>(id + complement) == 0xFF;
}

}  // namespace kapolex
