// gzip read back by zlib, for the tests of the program's gzip output: each
// member inflated on its own and checked against its CRC-32 and length.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kapolex::testing {

struct GzipMember {
  std::string text;     // what it decompresses to
  bool stored = false;  // its data is one stored (uncompressed) deflate block
};

// The members of a gzip stream in order (none for no bytes); nothing if any
// is damaged, fails its CRC-32 or length, or is cut short.
std::optional<std::vector<GzipMember>> gzipMembers(const std::string& gzip);

// A gzip stream's text, its members joined as gzip readers join them;
// nothing if it is not whole and sound.
std::optional<std::string> gunzip(const std::string& gzip);

}  // namespace kapolex::testing
