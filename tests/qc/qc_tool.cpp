// Checks one log file as a run with the quality check would, and writes the
// text report to standard output and, when asked, the JSON report and the
// tracking plot. A development tool: doc/sample-plot.png was made with it.
//
// Usage: kapolex_qc_tool LOG WEEK [--json FILE] [--plot FILE] [--list N]
#include <fcntl.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "qc_feed.hpp"

namespace {

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

int run(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: kapolex_qc_tool LOG WEEK [--json FILE] [--plot FILE] [--list N]\n", stderr);
    return 2;
  }
  std::string json;
  std::string plot;
  kapolex::QualityCheckSettings settings;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--json") {
      json = argv[i + 1];
    } else if (option == "--plot") {
      plot = argv[i + 1];
    } else if (option == "--list") {
      settings.slipListLimit = std::stoul(argv[i + 1]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  const kapolex::QualityReport report =
      kapolex::testing::checkLogFile(argv[1], std::stoi(argv[2]), settings);
  std::fputs(kapolex::testing::textOf(report).c_str(), stdout);
  if (!json.empty()) writeFile(json, kapolex::testing::jsonOf(report));
  if (!plot.empty()) writeFile(plot, kapolex::testing::plotOf(report));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kapolex_qc_tool: %s\n", e.what());
    return 1;
  }
}
