// Message encoding; bytes are stored one by one so the layout does not depend
// on the host's byte order or on struct padding.
#include "zlogsim/frame.hpp"

#include <bit>
#include <cstring>

namespace zlogsim {
namespace {

void putLe32(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
  out[2] = static_cast<std::uint8_t>(v >> 16);
  out[3] = static_cast<std::uint8_t>(v >> 24);
}

void putLe64(std::uint8_t* out, std::uint64_t v) {
  putLe32(out, static_cast<std::uint32_t>(v));
  putLe32(out + 4, static_cast<std::uint32_t>(v >> 32));
}

void finishMessage(std::uint8_t* out, std::uint8_t id, std::size_t bodySize) {
  out[0] = syncByte;
  out[1] = id;
  out[2] = static_cast<std::uint8_t>(~id);
  out[3] = static_cast<std::uint8_t>(bodySize);
  // The complement byte is left out of the sum: it only repeats the id.
  const auto total = static_cast<std::uint16_t>(id + trailerSum({out + 3, bodySize + 1}));
  out[headerSize + bodySize] = static_cast<std::uint8_t>(total);
  out[headerSize + bodySize + 1] = static_cast<std::uint8_t>(total >> 8);
}

}  // namespace

std::uint16_t trailerSum(std::span<const std::uint8_t> idLengthAndBody) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : idLengthAndBody) sum += b;
  return static_cast<std::uint16_t>(sum);
}

std::size_t encodeMessage(std::uint8_t* out, std::uint8_t id, std::span<const std::uint8_t> body) {
  if (!body.empty()) std::memcpy(out + headerSize, body.data(), body.size());
  finishMessage(out, id, body.size());
  return headerSize + body.size() + trailerSize;
}

std::size_t encodeMeasurementMessage(std::uint8_t* out, std::uint8_t id,
                                     const MeasurementBody& body) {
  const std::size_t n = body.channelCount < maxChannels ? body.channelCount : maxChannels;
  std::uint8_t* p = out + headerSize;
  p[0] = body.reserved[0];
  p[1] = body.reserved[1];
  p[2] = static_cast<std::uint8_t>(n);
  putLe64(p + 3, std::bit_cast<std::uint64_t>(body.receiveTime));
  p += measurementHeadSize;
  for (std::size_t k = 0; k < n; ++k, p += channelRecordSize) {
    const ChannelRecord& r = body.channels[k];
    p[0] = r.prnByte;
    p[1] = r.signal;
    putLe32(p + 2, static_cast<std::uint32_t>(r.codePhase));
    putLe32(p + 6, r.carrierWord);
    p[10] = r.reserved;
  }
  const std::size_t bodySize = measurementBodySize(n);
  finishMessage(out, id, bodySize);
  return headerSize + bodySize + trailerSize;
}

}  // namespace zlogsim
