// What gzip output costs: times writing a text file (an observation file)
// line by line through a file sink as the writer does, plain and gzip'd,
// the gzip'd file's header ending at END OF HEADER as the writer ends it.
// Runs alternate, and the medians of wall-clock and processor time and the
// sizes are printed; compare with `gzip -6` of the same text.
//
// Usage: build-bench/bench/kapolex_gzip_bench TEXT OUT [RUNS]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/gzip_encoder.hpp"
#include "common/output_sink.hpp"
#include "common/platform.hpp"

namespace {

using namespace kapolex;
using Clock = std::chrono::steady_clock;

double processorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Spent {
  double wall = 0.0;
  double processor = 0.0;
};

// Writes text's lines through a sink to path, gzip'd or not; false if a
// write failed.
bool writeLines(std::string_view text, std::size_t headerEnd, const std::string& path,
                bool gzipped) {
  const platform::OpenedFile file = platform::openForWriting(path);
  if (file.failure != platform::OpenFailure::none) return false;
  OutputSink sink(FileHandle(file.handle), 2, path, fileOutputBufferSize, true);
  if (gzipped) sink.encodeWith(gzipEncoder());
  for (std::size_t at = 0; at < text.size();) {
    if (at == headerEnd) sink.endStoredPart();
    const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    const std::size_t length = end - at;
    std::memcpy(sink.reserve(length), text.data() + at, length);
    sink.commit(length);
    at = end;
  }
  return sink.close();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TEXT OUT [RUNS]\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string out = argv[2];
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  const std::size_t label = text.find("END OF HEADER");
  const std::size_t headerEnd = label == std::string::npos ? 0 : text.find('\n', label) + 1;
  std::vector<double> wall[2];
  std::vector<double> processor[2];
  for (int run = 0; run < runs; ++run) {
    for (const bool gzipped : {false, true}) {
      const auto start = Clock::now();
      const double processorStart = processorSeconds();
      if (!writeLines(text, headerEnd, out, gzipped)) {
        std::fprintf(stderr, "cannot write %s\n", out.c_str());
        return 1;
      }
      wall[gzipped].push_back(std::chrono::duration<double>(Clock::now() - start).count());
      processor[gzipped].push_back(processorSeconds() - processorStart);
    }
  }
  std::ifstream written(out, std::ios::binary | std::ios::ate);
  std::printf("text %zu bytes, gzip'd %lld bytes, %d runs\n", text.size(),
              static_cast<long long>(written.tellg()), runs);
  for (const bool gzipped : {false, true}) {
    std::printf("%-8s wall %.3f s  processor %.3f s  (medians)\n", gzipped ? "gzip'd" : "plain",
                median(wall[gzipped]), median(processor[gzipped]));
  }
  return 0;
}
