// Builds receiver logs byte by byte for the tests: frames with any header
// bytes, measurement bodies from their fields, and raw damage.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace kapolex::testing {

// One 11-byte channel record as the receiver writes it.
struct ChannelRecord {
  std::uint8_t prnByte = 0;  // PRN - 1 in bits 0-5
  std::uint8_t signal = 0;
  std::int32_t codePhase = 0;
  std::uint32_t carrierWord = 0;
  std::uint8_t reserved = 0;
};

// The carrier word for a phase given in whole cycles and 1/1024 cycle, with
// the tracking flags in bits 0-1.
std::uint32_t carrierWord(std::uint32_t wholeCycles, std::uint32_t fraction1024,
                          std::uint32_t flags = 0);

// A measurement body: two reserved bytes, the channel count, the receive
// time and the records. channelCount defaults to the number of records.
std::vector<std::uint8_t> measurementBody(double receiveTime,
                                          std::span<const ChannelRecord> channels,
                                          int channelCount = -1);

class LogBuilder {
 public:
  // Appends bytes as they stand.
  LogBuilder& raw(std::initializer_list<std::uint8_t> bytes);
  LogBuilder& raw(std::span<const std::uint8_t> bytes);
  // Appends a message with a valid header; the length byte is the body's
  // size unless given.
  LogBuilder& frame(std::uint8_t id, std::span<const std::uint8_t> body, int length = -1,
                    std::uint8_t trailer0 = 0xAA, std::uint8_t trailer1 = 0x55);
  // Appends a measurement message (ID 23 unless given) with a consistent length.
  LogBuilder& measurement(double receiveTime, std::span<const ChannelRecord> channels,
                          std::uint8_t id = 23);
  // Appends a message of another ID with a body of the given size.
  LogBuilder& other(std::uint8_t id, int bodySize, std::uint8_t fill = 0x01);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::string text() const { return std::string(bytes_.begin(), bytes_.end()); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace kapolex::testing
