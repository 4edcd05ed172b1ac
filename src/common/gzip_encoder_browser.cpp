// The browser's build has no gzip of its own: its page compresses the
// files it offers with the browser's compression stream, so the core is
// built without zlib and its sinks stay plain.
#include "common/gzip_encoder.hpp"

namespace kapolex {

std::unique_ptr<OutputEncoder> gzipEncoder() {
  return nullptr;
}

}  // namespace kapolex
