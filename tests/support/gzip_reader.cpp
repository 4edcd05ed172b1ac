#include "support/gzip_reader.hpp"

#define ZLIB_CONST
#include <zlib.h>

#include <array>
#include <cstddef>
#include <utility>

namespace kapolex::testing {

namespace {

constexpr std::size_t memberHeaderSize = 10;  // with no optional fields, as kapolex writes
// zlib reads a gzip wrapper, with its checks, when told 16 more window bits.
constexpr int gzipWindowBits = 16 + MAX_WBITS;

// Inflates the member that starts at the front of bytes into text; the
// number of bytes it took, or nothing if it is not sound.
std::optional<std::size_t> inflateMember(const std::string& bytes, std::size_t at,
                                         std::string& text) {
  z_stream stream{};
  if (inflateInit2(&stream, gzipWindowBits) != Z_OK) return std::nullopt;
  stream.next_in = reinterpret_cast<const Bytef*>(bytes.data() + at);
  stream.avail_in = static_cast<uInt>(bytes.size() - at);
  std::array<char, 1 << 16> out{};
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    status = inflate(&stream, Z_NO_FLUSH);
    text.append(out.data(), out.size() - stream.avail_out);
    // No progress with input left over is a damaged stream, as is its end.
    if (status == Z_BUF_ERROR) break;
  }
  const std::size_t taken = bytes.size() - at - stream.avail_in;
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  return taken;
}

}  // namespace

std::optional<std::vector<GzipMember>> gzipMembers(const std::string& gzip) {
  std::vector<GzipMember> members;
  for (std::size_t at = 0; at < gzip.size();) {
    GzipMember member;
    const std::optional<std::size_t> taken = inflateMember(gzip, at, member.text);
    if (!taken) return std::nullopt;
    // The first block's header: the final-block bit, then type 0 (stored).
    member.stored = (static_cast<unsigned char>(gzip[at + memberHeaderSize]) & 6U) == 0;
    members.push_back(std::move(member));
    at += *taken;
  }
  return members;
}

std::optional<std::string> gunzip(const std::string& gzip) {
  const std::optional<std::vector<GzipMember>> members = gzipMembers(gzip);
  if (!members) return std::nullopt;
  std::string text;
  for (const GzipMember& member : *members) text += member.text;
  return text;
}

}  // namespace kapolex::testing
