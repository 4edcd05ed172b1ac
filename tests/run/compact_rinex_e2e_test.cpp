// Compact RINEX and gzip through the real program: every file decodes (the
// test decoder, zlib, and gzip -t where it is installed) to the lines of
// the plain run with the same options, whole, split, in a time window,
// stopped and on a pipe, under the names the options give.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/compact_rinex_decoder.hpp"
#include "support/gzip_reader.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::FolderFiles;
using testing::FolderRun;

FolderRun kapolexWith(const std::vector<std::string>& arguments, const FolderFiles& files) {
  return testing::runWithFiles(KAPOLEX_BINARY, arguments, files);
}

std::string logOf(const std::vector<std::string>& zlogsimArguments) {
  const std::optional<std::string> log = testing::simulatedLog(zlogsimArguments);
  if (!log) ADD_FAILURE() << "zlogsim failed";
  return log.value_or("");
}

// Lines as Compact RINEX restores them, the run date's line left out: two
// runs may read the clock in different seconds.
std::string comparable(const std::string& rinex) {
  std::string lines = testing::restoredLines(rinex);
  constexpr std::string_view label = "PGM / RUN BY / DATE";
  const std::size_t at = lines.find(std::string(label) + "\n");
  if (at == std::string::npos) return lines;
  const std::size_t lineStart = lines.rfind('\n', at);
  const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
  lines.erase(from, at + label.size() - from);
  return lines;
}

// The plain text a Compact RINEX file, gzip'd or not, decodes to; a
// failure for a file that does not.
std::string decoded(const std::string& name, const std::string& bytes) {
  std::string text = bytes;
  if (name.ends_with(".gz")) {
    const std::optional<std::string> inflated = testing::gunzip(bytes);
    if (!inflated) ADD_FAILURE() << name << " is not sound gzip";
    text = inflated.value_or("");
    if (const auto gzip = testing::onPath("gzip")) {
      testing::ScratchFolder folder;
      folder.write("t.gz", bytes);
      EXPECT_EQ(testing::runIn(folder, gzip->string(), {"-t", "t.gz"}, std::nullopt).exitStatus, 0)
          << name;
    }
  }
  const bool compact = name.ends_with(".crx") || name.ends_with(".crx.gz") || name.ends_with("d") ||
                       name.ends_with("d.gz") || name == "stdout";
  if (!compact) return comparable(text);
  const testing::DecodedCompactRinex restored = testing::decodeCompactRinex(text);
  EXPECT_EQ(restored.problem, "") << name;
  EXPECT_EQ(text.find('\r'), std::string::npos) << name;
  return comparable(restored.rinex);
}

// The files a run left, the log left out.
FolderFiles outputsOf(const FolderRun& run) {
  FolderFiles files = run.files;
  files.erase("z.log");
  return files;
}

struct EncodingCase {
  const char* name;
  std::vector<std::string> options;  // of the encoded run
};

// Each run in each encoding gives, under the encoded names, the plain run's
// files decoded line for line.
void expectEncodedRuns(const std::string& log, const std::vector<std::string>& common,
                       int status = 0) {
  const FolderRun plain = kapolexWith(common, {{"z.log", log}});
  ASSERT_EQ(plain.result.exitStatus, status) << plain.result.err;
  const FolderFiles plainFiles = outputsOf(plain);
  ASSERT_FALSE(plainFiles.empty());
  const EncodingCase encodings[] = {
      {"crx", {"--crx"}}, {"crx gzip", {"--crx", "--gzip"}}, {"gzip", {"-z"}}};
  for (const EncodingCase& encoding : encodings) {
    std::vector<std::string> arguments = common;
    arguments.insert(arguments.end(), encoding.options.begin(), encoding.options.end());
    const FolderRun run = kapolexWith(arguments, {{"z.log", log}});
    EXPECT_EQ(run.result.exitStatus, status) << encoding.name << run.result.err;
    const FolderFiles files = outputsOf(run);
    ASSERT_EQ(files.size(), plainFiles.size()) << encoding.name;
    auto file = files.begin();
    for (const auto& [plainName, plainText] : plainFiles) {
      const bool gzip = encoding.options.back() != "--crx";
      const bool compact = encoding.options.front() == "--crx";
      std::string name = plainName;
      if (compact && name.ends_with(".rnx")) name.replace(name.size() - 3, 3, "crx");
      if (compact && name.ends_with("o")) name.back() = 'd';
      if (compact && name.ends_with(".obs")) name.replace(name.size() - 3, 3, "crx");
      if (gzip) name += ".gz";
      ASSERT_EQ(file->first, name) << encoding.name;
      EXPECT_EQ(decoded(name, file->second), comparable(plainText)) << encoding.name << " " << name;
      ++file;
    }
  }
}

// zlogsim's impairments: slips, losses of lock, outages, damage.
const std::vector<std::string> impaired = {
    "-d",        "400",      "--seed",       "4",        "--slips", "30",        "--lock-loss",
    "40",        "--outage", "100,20",       "--outage", "250,3",   "--garbage", "0.02",
    "--corrupt", "0.02",     "--code-noise", "0.5",      "--other", "1"};

TEST(CompactRinexRun, DecodesToThePlainFileInEitherVersionWithAndWithoutS1) {
  const std::string log = logOf(impaired);
  for (const char* version : {"2", "3"}) {
    for (const bool snr : {false, true}) {
      std::vector<std::string> options = {
          "-q", "-w", "1356", "--interval", "1", "--rinex-version", version, "-o", "x.obs"};
      if (snr) options.push_back("--snr");
      SCOPED_TRACE(std::string("RINEX ") + version + (snr ? " with S1" : ""));
      const FolderRun plain = kapolexWith(options, {{"z.log", log}});
      ASSERT_EQ(plain.result.exitStatus, 0);
      options.push_back("--crx");
      const FolderRun compact = kapolexWith(options, {{"z.log", log}});
      ASSERT_EQ(compact.result.exitStatus, 0);
      // -o is used as given.
      EXPECT_EQ(decoded("x.crx", compact.files.at("x.obs")), comparable(plain.files.at("x.obs")));
    }
  }
}

TEST(CompactRinexRun, SplitWindowedStoppedAndPipedFilesDecodeToThePlainOnes) {
  const std::string midnight = logOf(
      {"--duration", "7200", "--sow", "84600", "--lock-loss", "4", "--other", "1", "--seed", "6"});
  std::vector<std::string> truncate = impaired;
  truncate.push_back("--truncate");
  const std::string cut = logOf(truncate);
  const std::string log = logOf(impaired);
  struct Case {
    const char* name;
    const std::string& log;
    std::vector<std::string> options;
    int status = 0;
  };
  const Case cases[] = {
      {"split by hour, RINEX 2", midnight, {"--split", "hour", "--marker-name", "PILL"}},
      {"split by hour, RINEX 3", midnight, {"--split", "hour", "--rinex-version", "3"}},
      {"one standard name", midnight, {"--standard-name", "--interval", "30"}},
      {"time window",
       log,
       {"--start", "2006-01-01T00:01:00", "--end", "2006-01-01T00:05:00", "--interval", "1",
        "--rinex-version", "3", "--snr"}},
      {"a log that ends inside a message", cut, {"--interval", "1"}, 24},
      {"a log that ends inside a message, RINEX 3", cut, {"--rinex-version", "3"}, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> options = {"-q", "-w", "1356"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    expectEncodedRuns(c.log, options, c.status);
  }
}

TEST(CompactRinexRun, DefaultNamesFromTheLogAndStandardOutput) {
  const std::string log = logOf({"-d", "60"});
  const FolderRun plain = kapolexWith({"-q", "-w", "1356", "site.log"}, {{"site.log", log}});
  ASSERT_EQ(plain.result.exitStatus, 0);
  struct Case {
    std::vector<std::string> options;
    const char* name;
  };
  const Case cases[] = {
      {{"--crx"}, "site.crx"}, {{"--gzip"}, "site.obs.gz"}, {{"--crx", "-z"}, "site.crx.gz"}};
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"-q", "-w", "1356", "site.log"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const FolderRun run = kapolexWith(arguments, {{"site.log", log}});
    EXPECT_EQ(run.result.exitStatus, 0);
    ASSERT_EQ(run.files.size(), 2u) << c.name;
    ASSERT_EQ(run.files.count(c.name), 1u) << c.name;
    EXPECT_EQ(decoded(c.name, run.files.at(c.name)), comparable(plain.files.at("site.obs")));
  }
  // On a pipe nothing is rewritten: RINEX 3 leaves TIME OF LAST OBS out, as
  // the plain file does.
  const FolderRun piped = kapolexWith(
      {"-q", "-w", "1356", "--rinex-version", "3", "-o", "-", "--crx"}, {{"z.log", log}});
  const FolderRun plainPiped =
      kapolexWith({"-q", "-w", "1356", "--rinex-version", "3", "-o", "-"}, {{"z.log", log}});
  EXPECT_EQ(decoded("stdout", piped.result.out), comparable(plainPiped.result.out));
  EXPECT_EQ(plainPiped.result.out.find("TIME OF LAST OBS"), std::string::npos);
}

TEST(CompactRinexRun, AFileWithoutEpochsGetsEndOfHeaderAndSaysSo) {
  for (const char* version : {"2", "3"}) {
    const FolderRun run = kapolexWith(
        {"-q", "-w", "1356", "--rinex-version", version, "--crx", "-z"}, {{"z.log", ""}});
    EXPECT_EQ(run.result.exitStatus, 0);
    EXPECT_EQ(run.result.err, "Compact RINEX: 1 files without epochs closed with END OF HEADER\n");
    const std::optional<std::string> text = testing::gunzip(run.files.at("z.crx.gz"));
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->ends_with(
        "                                                            END OF HEADER\n"));
    EXPECT_EQ(testing::decodeCompactRinex(*text).problem, "");
  }
}

}  // namespace
}  // namespace kapolex
