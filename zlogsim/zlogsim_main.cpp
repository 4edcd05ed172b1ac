// zlogsim: writes a simulated receiver log for tests and benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "zlogsim/binary_output.hpp"
#include "zlogsim/log_writer.hpp"
#include "zlogsim/options.hpp"
#include "zlogsim/truth.hpp"

namespace {

const char* damageName(zlogsim::DamageKind k) {
  switch (k) {
    case zlogsim::DamageKind::garbage:
      return "garbage";
    case zlogsim::DamageKind::sync:
      return "sync";
    case zlogsim::DamageKind::complement:
      return "complement";
    case zlogsim::DamageKind::length:
      return "length";
    case zlogsim::DamageKind::truncation:
      return "truncation";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const zlogsim::ParseResult parsed =
      zlogsim::parseCommandLine({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
  if (!parsed.ok) {
    std::fprintf(stderr, "zlogsim: %s\nTry 'zlogsim --help'.\n", parsed.error.c_str());
    return 2;
  }
  const zlogsim::CommandLine& cl = parsed.options;
  if (cl.help) {
    std::fputs(zlogsim::helpText().c_str(), stdout);
    return 0;
  }

  const bool toStdout = cl.output == "-";
  std::FILE* out = toStdout ? zlogsim::binaryStandardOutput() : std::fopen(cl.output.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "zlogsim: cannot open %s: %s\n", cl.output.c_str(), std::strerror(errno));
    return 1;
  }
  // The writer hands over multi-megabyte chunks; stdio's own buffer would
  // only add a copy.
  std::setvbuf(out, nullptr, _IONBF, 0);
  std::FILE* truth = nullptr;
  std::optional<zlogsim::TruthFile> truthFile;
  if (!cl.truthPath.empty()) {
    truth = std::fopen(cl.truthPath.c_str(), "wb");
    if (truth == nullptr) {
      std::fprintf(stderr, "zlogsim: cannot open %s: %s\n", cl.truthPath.c_str(),
                   std::strerror(errno));
      return 1;
    }
    truthFile.emplace(truth, cl.log, cl.truthRows);
  }

  zlogsim::LogHooks hooks;
  hooks.write = [out](std::span<const std::uint8_t> chunk) {
    return std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
  };
  if (truthFile) {
    hooks.epoch = [&truthFile](const zlogsim::SimEpoch& e, std::uint64_t offset) {
      truthFile->written(e, offset);
    };
    hooks.silent = [&truthFile](const zlogsim::SimEpoch& e) { truthFile->silent(e); };
  }
  if (cl.stats || truthFile) {
    hooks.damage = [&truthFile, &cl](const zlogsim::DamageEvent& e) {
      if (truthFile) truthFile->damaged(e);
      if (!cl.stats) return;
      std::fprintf(stderr, "damage %s at %llu, %u bytes\n", damageName(e.kind),
                   static_cast<unsigned long long>(e.offset), e.length);
    };
  }

  const zlogsim::LogSummary summary = zlogsim::writeLog(cl.log, hooks);
  if (truthFile) truthFile->finish();
  bool failed = summary.writeFailed;
  if (!toStdout && std::fclose(out) != 0) failed = true;
  if (toStdout && std::fflush(out) != 0) failed = true;
  if (truth != nullptr && std::fclose(truth) != 0) failed = true;
  if (failed) {
    std::fprintf(stderr, "zlogsim: write failed: %s\n", std::strerror(errno));
    return 1;
  }
  if (cl.stats) {
    std::fprintf(stderr, "bytes %llu\nepochs %llu\n",
                 static_cast<unsigned long long>(summary.bytes),
                 static_cast<unsigned long long>(summary.epochs));
    if (summary.silentEpochs != 0) {
      std::fprintf(stderr, "silent epochs %llu\n",
                   static_cast<unsigned long long>(summary.silentEpochs));
    }
    for (std::size_t id = 0; id < summary.intactMessages.size(); ++id) {
      if (summary.intactMessages[id] != 0) {
        std::fprintf(stderr, "id %zu messages %llu\n", id,
                     static_cast<unsigned long long>(summary.intactMessages[id]));
      }
    }
    std::fprintf(stderr, "damage events %llu\n",
                 static_cast<unsigned long long>(summary.damageEvents));
  }
  return 0;
}
