// Runs a writer against a memory sink and hands back every byte it wrote.
#pragma once

#include <string>

#include "common/output_sink.hpp"

namespace kapolex::testing {

template <typename Writer>
std::string capture(Writer&& write) {
  std::string bytes;
  OutputSink sink(bytes, 2, "z.obs", 4096);
  write(sink);
  sink.flush();
  return bytes;
}

}  // namespace kapolex::testing
