// The four bytes that open every receiver message.
#pragma once

#include <cstdint>

namespace kapolex {

constexpr std::uint8_t messageSync = 0x01;
constexpr int messageHeaderSize = 4;
constexpr int messageTrailerSize = 2;
// The measurement message, and the same message with the ID's top bit set.
constexpr int measurementMessageId = 23;
constexpr int measurementMessageIdHigh = 151;

struct MessageHeader {
  std::uint8_t sync = 0;
  std::uint8_t id = 0;
  std::uint8_t complement = 0;
  std::uint8_t length = 0;
};

// A header is valid when it starts with the sync byte and its ID and
// complement add up to 0xFF; the length byte plays no part.
constexpr bool isValidHeader(std::uint8_t sync, std::uint8_t id, std::uint8_t complement) {
  return sync == messageSync && static_cast<std::uint8_t>(id + complement) == 0xFF;
}

}  // namespace kapolex
