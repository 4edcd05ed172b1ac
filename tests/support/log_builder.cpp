#include "support/log_builder.hpp"

#include <cstring>

namespace kapolex::testing {

namespace {

template <typename T>
void appendLittleEndian(std::vector<std::uint8_t>& out, T value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  for (std::size_t i = 0; i < sizeof value; ++i) {
    out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  }
}

}  // namespace

std::uint32_t carrierWord(std::uint32_t wholeCycles, std::uint32_t fraction1024,
                          std::uint32_t flags) {
  return (wholeCycles << 12) | ((fraction1024 & 0x3FF) << 2) | (flags & 3);
}

std::vector<std::uint8_t> measurementBody(double receiveTime,
                                          std::span<const ChannelRecord> channels,
                                          int channelCount) {
  std::vector<std::uint8_t> body{0x00, 0x00};
  const int count = channelCount < 0 ? static_cast<int>(channels.size()) : channelCount;
  body.push_back(static_cast<std::uint8_t>(count));
  appendLittleEndian(body, receiveTime);
  for (const ChannelRecord& channel : channels) {
    body.push_back(channel.prnByte);
    body.push_back(channel.signal);
    appendLittleEndian(body, channel.codePhase);
    appendLittleEndian(body, channel.carrierWord);
    body.push_back(channel.reserved);
  }
  return body;
}

LogBuilder& LogBuilder::raw(std::initializer_list<std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

LogBuilder& LogBuilder::raw(std::span<const std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

LogBuilder& LogBuilder::frame(std::uint8_t id, std::span<const std::uint8_t> body, int length,
                              std::uint8_t trailer0, std::uint8_t trailer1) {
  const int lengthByte = length < 0 ? static_cast<int>(body.size()) : length;
  raw({0x01, id, static_cast<std::uint8_t>(~id), static_cast<std::uint8_t>(lengthByte)});
  raw(body);
  return raw({trailer0, trailer1});
}

LogBuilder& LogBuilder::measurement(double receiveTime, std::span<const ChannelRecord> channels,
                                    std::uint8_t id) {
  const std::vector<std::uint8_t> body = measurementBody(receiveTime, channels);
  return frame(id, body, static_cast<int>(body.size() & 0xFF));
}

LogBuilder& LogBuilder::other(std::uint8_t id, int bodySize, std::uint8_t fill) {
  const std::vector<std::uint8_t> body(static_cast<std::size_t>(bodySize), fill);
  return frame(id, body);
}

}  // namespace kapolex::testing
