// gzip by zlib. Every output byte follows from the input alone: the member
// headers carry no name, modification time 0 and the same flags and
// operating-system byte on every system, and the body is deflated at zlib's
// default level and settings. Deflate's choices belong to zlib's version,
// not to the system, so the Linux and Windows builds, both linked with
// Debian's zlib 1.2.13, write the same bytes; another zlib version may
// write other bytes that decompress to the same text.
#define ZLIB_CONST
#include "common/gzip_encoder.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <new>
#include <string>

#include "compat/uninitialized_array.hpp"

namespace kapolex {

namespace {

// A member's header: the magic bytes, deflate, no flags (no name, no
// comment, no text mark), modification time 0, no extra flags, and 255,
// "unknown", for the system: the text's CR LF line ends follow no one
// system's convention, and a fixed byte keeps both builds' files the same
// (zlib's own header would say 3 or 10 by the system that wrote it).
constexpr std::array<unsigned char, 10> memberHeader = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 255};

// A stored block's header: one byte holding the final-block bit and block
// type 0 (padded to the byte), then the length and its one's complement.
constexpr std::size_t storedBlockHeaderSize = 5;
constexpr unsigned char finalStoredBlock = 1;
// A member's trailer: the CRC-32 and the length (mod 2^32), little-endian.
constexpr std::size_t trailerSize = 8;
// Where the stored part's bytes and its CRC-32 stand in the output.
constexpr std::size_t storedDataStart = memberHeader.size() + storedBlockHeaderSize;

// zlib's defaults for memory: a 32 KiB window, hash level 8; negative bits
// ask for raw deflate, as the member's header and trailer are written here.
constexpr int windowBits = -MAX_WBITS;
constexpr int memoryLevel = 8;

// Deflated bytes go out in chunks of this size; the stored member is
// assembled in the same chunk, so it is written at once.
constexpr std::size_t chunkSize = std::size_t{256} * 1024;
static_assert(chunkSize >= storedDataStart + gzipStoredPartLimit + trailerSize);

// Writes count bytes of value, lowest first, from at.
void putLittleEndian(unsigned char* at, std::uint32_t value, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t crcOf(std::uint32_t crc, const char* bytes, std::size_t count) {
  return static_cast<std::uint32_t>(
      crc32_z(crc, reinterpret_cast<const Bytef*>(bytes), static_cast<z_size_t>(count)));
}

class GzipEncoder final : public OutputEncoder {
 public:
  GzipEncoder();
  GzipEncoder(const GzipEncoder&) = delete;
  GzipEncoder& operator=(const GzipEncoder&) = delete;
  ~GzipEncoder() override { deflateEnd(&stream_); }

  bool encode(std::string_view bytes, OutputTarget& target) override;
  bool endStoredPart(OutputTarget& target) override;
  bool rewrite(std::uint64_t offset, std::string_view bytes, OutputTarget& target) override;
  bool finish(OutputTarget& target) override;

 private:
  bool deflateBody(std::string_view bytes, OutputTarget& target);
  // Runs deflate with flush until it has taken all its input (or, with
  // Z_FINISH, ended the stream), writing out each chunk it fills.
  bool drain(int flush, OutputTarget& target);
  bool put(const void* bytes, std::size_t count, OutputTarget& target);
  std::size_t storedTrailerStart() const { return storedDataStart + stored_.size(); }

  z_stream stream_{};  // zlib keeps a pointer to it: the encoder never moves
  std::unique_ptr<unsigned char[]> chunk_;
  std::string stored_;            // the stored part, kept for its CRC-32
  bool storedEnded_ = false;      // no more bytes go to the stored part
  bool storedWritten_ = false;    // the stored member is in the target
  bool bodyStarted_ = false;      // the body member's header is in the target
  std::uint32_t bodyCrc_ = 0;     // of the body's bytes so far
  std::uint32_t bodyLength_ = 0;  // the body's length, mod 2^32 as gzip keeps it
  bool failed_ = false;           // the target refused bytes: the stream is broken
  bool finished_ = false;
};

GzipEncoder::GzipEncoder() : chunk_(uninitializedArray<unsigned char>(chunkSize)) {
  if (deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, memoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
}

bool GzipEncoder::put(const void* bytes, std::size_t count, OutputTarget& target) {
  if (!target.append(static_cast<const char*>(bytes), count)) failed_ = true;
  return !failed_;
}

bool GzipEncoder::encode(std::string_view bytes, OutputTarget& target) {
  if (failed_) return false;
  if (!storedEnded_) {
    const std::size_t room = gzipStoredPartLimit - stored_.size();
    const std::size_t taken = bytes.size() < room ? bytes.size() : room;
    stored_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (bytes.empty()) return true;
    if (!endStoredPart(target)) return false;
  }
  return deflateBody(bytes, target);
}

bool GzipEncoder::endStoredPart(OutputTarget& target) {
  if (failed_) return false;
  if (storedEnded_) return true;
  storedEnded_ = true;
  // An output whose first bytes are already body has no stored member.
  if (stored_.empty()) return true;
  unsigned char* member = chunk_.get();
  std::copy(memberHeader.begin(), memberHeader.end(), member);
  const auto length = static_cast<std::uint32_t>(stored_.size());
  member[memberHeader.size()] = finalStoredBlock;
  putLittleEndian(member + memberHeader.size() + 1, length, 2);
  putLittleEndian(member + memberHeader.size() + 3, ~length & 0xffffU, 2);
  std::copy(stored_.begin(), stored_.end(), member + storedDataStart);
  unsigned char* trailer = member + storedTrailerStart();
  putLittleEndian(trailer, crcOf(0, stored_.data(), stored_.size()), 4);
  putLittleEndian(trailer + 4, length, 4);
  storedWritten_ = true;
  return put(member, storedTrailerStart() + trailerSize, target);
}

bool GzipEncoder::deflateBody(std::string_view bytes, OutputTarget& target) {
  if (!bodyStarted_) {
    bodyStarted_ = true;
    if (!put(memberHeader.data(), memberHeader.size(), target)) return false;
  }
  bodyCrc_ = crcOf(bodyCrc_, bytes.data(), bytes.size());
  bodyLength_ += static_cast<std::uint32_t>(bytes.size());
  // zlib counts its input in unsigned int: a larger piece goes in parts.
  constexpr std::size_t largestPart = UINT_MAX;
  while (!bytes.empty()) {
    const std::size_t part = bytes.size() < largestPart ? bytes.size() : largestPart;
    stream_.next_in = reinterpret_cast<const Bytef*>(bytes.data());
    stream_.avail_in = static_cast<uInt>(part);
    if (!drain(Z_NO_FLUSH, target)) return false;
    bytes.remove_prefix(part);
  }
  return true;
}

bool GzipEncoder::drain(int flush, OutputTarget& target) {
  for (;;) {
    stream_.next_out = chunk_.get();
    stream_.avail_out = static_cast<uInt>(chunkSize);
    const int status = deflate(&stream_, flush);
    // Z_STREAM_ERROR means a broken z_stream, which no input can cause.
    if (status == Z_STREAM_ERROR) {
      failed_ = true;
      return false;
    }
    const std::size_t produced = chunkSize - stream_.avail_out;
    if (produced > 0 && !put(chunk_.get(), produced, target)) return false;
    // Room left over means deflate has taken all the input it was given.
    if (flush == Z_FINISH ? status == Z_STREAM_END : stream_.avail_out != 0) return true;
  }
}

bool GzipEncoder::rewrite(std::uint64_t offset, std::string_view bytes, OutputTarget& target) {
  if (failed_ || bytes.size() > stored_.size() || offset > stored_.size() - bytes.size()) {
    return false;
  }
  const auto at = static_cast<std::size_t>(offset);
  stored_.replace(at, bytes.size(), bytes);
  // Not written yet, it goes out whole with its CRC-32.
  if (!storedWritten_) return true;
  std::array<unsigned char, 4> crc{};
  putLittleEndian(crc.data(), crcOf(0, stored_.data(), stored_.size()), crc.size());
  if (!target.writeAt(storedDataStart + at, bytes.data(), bytes.size()) ||
      !target.writeAt(storedTrailerStart(), reinterpret_cast<const char*>(crc.data()),
                      crc.size())) {
    failed_ = true;
  }
  return !failed_;
}

bool GzipEncoder::finish(OutputTarget& target) {
  if (finished_ || failed_) return !failed_;
  finished_ = true;
  // No byte in, no byte out: like a plain sink, it leaves an existing file
  // as it was.
  if (!endStoredPart(target)) return false;
  if (bodyStarted_) {
    if (!drain(Z_FINISH, target)) return false;
    std::array<unsigned char, trailerSize> trailer{};
    putLittleEndian(trailer.data(), bodyCrc_, 4);
    putLittleEndian(trailer.data() + 4, bodyLength_, 4);
    if (!put(trailer.data(), trailer.size(), target)) return false;
  }
  // zlib's state is let go at once; only the stored part stays, for rewrite.
  deflateEnd(&stream_);
  return true;
}

}  // namespace

std::unique_ptr<OutputEncoder> gzipEncoder() {
  return std::make_unique<GzipEncoder>();
}

}  // namespace kapolex
