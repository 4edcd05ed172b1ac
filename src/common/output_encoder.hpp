// An encoding that a sink's bytes pass through on their way to the file
// (gzip), chosen once when the output is opened. The sink hands it its
// buffer at each flush, so the per-line path stays the sink's own; offsets
// are always the sink's, counted in bytes before encoding.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/output_target.hpp"

namespace kapolex {

class OutputEncoder {
 public:
  OutputEncoder() = default;
  OutputEncoder(const OutputEncoder&) = delete;
  OutputEncoder& operator=(const OutputEncoder&) = delete;
  virtual ~OutputEncoder() = default;

  // Takes the sink's next bytes and writes what they encode to into target,
  // now or later; false if target refused bytes, after which every call
  // fails.
  virtual bool encode(std::string_view bytes, OutputTarget& target) = 0;

  // Marks the bytes taken so far as the part that rewrite may still
  // replace (a file's header), and writes it out; false as for encode.
  // Only the first call counts.
  virtual bool endStoredPart(OutputTarget& target) = 0;

  // Replaces the bytes at offset, which lie in the stored part (of a
  // rewritable target), in the encoded bytes as well; false, changing
  // nothing, for a range outside that part; false too if target refused.
  virtual bool rewrite(std::uint64_t offset, std::string_view bytes, OutputTarget& target) = 0;

  // Writes whatever completes the encoded stream; false if target refused
  // bytes now or before. Later calls return the same; only rewrite may
  // follow.
  virtual bool finish(OutputTarget& target) = 0;
};

}  // namespace kapolex
