// gzip output, written by the program itself in one pass. The bytes up to
// the end of a file's header form a first gzip member of their own, kept
// uncompressed in a stored block, so that a header record known only at
// the end (TIME OF LAST OBS) is replaced in place, with that member's
// CRC-32, without reading anything back; the body follows as a second,
// deflated member. gzip readers join members into one text.
#pragma once

#include <cstddef>
#include <memory>

#include "common/output_encoder.hpp"

namespace kapolex {

// The most bytes of the stored part: what one stored block holds, far more
// than a header's few kilobytes. A part that grows past it without
// endStoredPart (an output with no header) ends there.
constexpr std::size_t gzipStoredPartLimit = 65535;

// An encoder that writes gzip for OutputSink::encodeWith; nullptr in a build
// without gzip (the browser's, whose page compresses with the browser's own
// compression stream), where the sink stays plain.
std::unique_ptr<OutputEncoder> gzipEncoder();

}  // namespace kapolex
