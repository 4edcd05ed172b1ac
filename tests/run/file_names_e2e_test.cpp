// The real program with the file names a user types on the system at hand:
// names in any script and with spaces, folders given with either separator
// the system knows, absolute names, the Windows long-name prefix, and the
// whole exit status as the system reports it.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "support/log_builder.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

namespace fs = std::filesystem;
using testing::ProgramResult;
using testing::ScratchFolder;

// A path from UTF-8 text, whatever the system's narrow code page.
fs::path utf8Path(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string sampleLog() {
  return testing::readFile(fs::path(KAPOLEX_SOURCE_DIR) / "examples" / "z.log").value();
}

// The lines of an observation file but its run date (line 2).
std::vector<std::string> withoutRunDate(const std::string& observations) {
  std::vector<std::string> lines = testing::splitCrLfLines(observations);
  if (lines.size() > 1) lines[1].clear();
  return lines;
}

// The observation file of the plain run: the sample, week 1356, z.log.
const std::vector<std::string>& plainObservations() {
  static const std::vector<std::string> lines = [] {
    const ProgramResult plain = testing::runKapolex(sampleLog(), "1356\n");
    return withoutRunDate(plain.observations.value_or(""));
  }();
  return lines;
}

TEST(FileNames, LogsNamedInAnyScriptOrWithSpacesConvertBesideThemselves) {
  struct Case {
    std::string folder;  // made inside the scratch folder, "" for none
    std::string log;     // where the log is written, from the scratch folder
    std::string argument;
    std::string observations;  // where the default observation file must appear
  };
  std::vector<Case> cases = {
      {"", "Δέλτα.log", "Δέλτα.log", "Δέλτα.obs"},  // outside every ANSI code page but Greek
      {"", "日志", "日志", "日志.obs"},
      {"", "site one.log", "site one.log", "site one.obs"},
      {"day 1", "day 1/site.log", "day 1/site.log", "day 1/site.obs"},
      {"a.b", "a.b/site", "./a.b//site", "a.b/site.obs"},
  };
  if (platform::isPathSeparator('\\')) {
    cases.push_back({"day 2", "day 2/site.log", "day 2\\site.log", "day 2/site.obs"});
    cases.push_back({"x.y", "x.y/site", ".\\x.y\\site", "x.y/site.obs"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    ScratchFolder folder;
    if (!c.folder.empty()) fs::create_directory(folder.path() / utf8Path(c.folder));
    testing::writeFile(folder.path() / utf8Path(c.log), sampleLog());
    const ProgramResult run =
        testing::runIn(folder, KAPOLEX_BINARY, {"-q", "-w", "1356", c.argument}, std::nullopt);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::optional<std::string> written =
        testing::readFile(folder.path() / utf8Path(c.observations));
    ASSERT_TRUE(written.has_value()) << "no " << c.observations;
    EXPECT_EQ(withoutRunDate(*written), plainObservations());
  }
}

TEST(FileNames, AbsoluteNamesAndDiagnosticsUseTheSystemsSeparator) {
  ScratchFolder folder;
  fs::create_directory(folder.path() / "logs");
  testing::writeFile(folder.path() / "logs" / "site.log", sampleLog());
  const std::string sep(1, platform::pathSeparator);
  const std::string logs = folder.path().string() + sep + "logs" + sep;
  struct Case {
    std::vector<std::string> arguments;
    std::string written;  // the observation file, from the folder
  };
  std::vector<Case> cases = {
      {{"-q", "-w", "1356", logs + "site.log", "-o", logs + "a.obs"}, "logs/a.obs"},
      {{"-q", "-w", "1356", "logs/site.log", "-o", logs + "." + sep + "b.obs"}, "logs/b.obs"},
  };
  if (platform::isPathSeparator('\\')) {
    // The long-name prefix, which takes the path as it stands; and a name
    // from the root of the working folder's drive.
    cases.push_back(
        {{"-q", "-w", "1356", "\\\\?\\" + logs + "site.log", "-o", "logs/c.obs"}, "logs/c.obs"});
    cases.push_back(
        {{"-q", "-w", "1356", logs.substr(2) + "site.log", "-o", "logs/d.obs"}, "logs/d.obs"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[3]);
    const ProgramResult run = testing::runIn(folder, KAPOLEX_BINARY, c.arguments, std::nullopt);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::optional<std::string> written = testing::readFile(folder.path() / c.written);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(withoutRunDate(*written), plainObservations());
  }
  // A missing file is named in full, with the system's separator only.
  const ProgramResult missing =
      testing::runIn(folder, KAPOLEX_BINARY, {"-w", "1356", "logs/none/../x.log"}, std::nullopt);
  EXPECT_EQ(missing.err, testing::diagnosticLine(29, "file not found", 1,
                                                 logs + "none" + sep + ".." + sep + "x.log"));
}

// Outputs not there yet that would be one file: the same folder reached two
// ways, and on Windows a name that differs only in case.
TEST(FileNames, OutputsThatWouldBeOneFileAreRefusedBeforeAnyIsMade) {
  struct Case {
    std::string plot;
    bool refused;
  };
  const Case cases[] = {
      {"d/../report", true},
      {"d/report", false},
      {"REPORT", platform::isPathSeparator('\\')},
  };
  for (const Case& c : cases) {
    ScratchFolder run;
    run.write("z.log", sampleLog());
    fs::create_directory(run.path() / "d");
    const ProgramResult result =
        testing::runIn(run, KAPOLEX_BINARY,
                       {"-q", "-w", "1356", "--qc", "report", "--plot", c.plot}, std::nullopt);
    if (c.refused) {
      EXPECT_EQ(result.exitStatus, 2) << c.plot;
      EXPECT_EQ(result.err, "kapolex: the tracking plot '" + c.plot +
                                "' is the quality report too; name another\n"
                                "Try 'kapolex --help'.\n");
      EXPECT_FALSE(run.read("report").has_value()) << c.plot;
    } else {
      EXPECT_EQ(result.exitStatus, 0) << c.plot << ": " << result.err;
    }
  }
}

TEST(FileNames, TheSameFileUnderTwoNamesIsRefusedAndASecondRunIsNot) {
  ScratchFolder folder;
  folder.write("z.log", sampleLog());
  std::error_code linked;
  fs::create_hard_link(folder.path() / "z.log", folder.path() / "twin.log", linked);
  if (!linked) {
    const ProgramResult twin =
        testing::runIn(folder, KAPOLEX_BINARY, {"-w", "1356", "-o", "twin.log"}, std::nullopt);
    EXPECT_EQ(twin.exitStatus, 2);
    EXPECT_EQ(twin.err,
              "kapolex: the observation file 'twin.log' is the log too; name another\n"
              "Try 'kapolex --help'.\n");
  }
  // Files that differ are never one file, however often the run is repeated.
  for (int round = 0; round < 2; ++round) {
    const ProgramResult run =
        testing::runIn(folder, KAPOLEX_BINARY, {"-q", "-w", "1356"}, std::nullopt);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
  }
  if (linked) GTEST_SKIP() << "no hard link here (" << linked.message() << "); the twin is untried";
}

TEST(ExitStatus, TheSystemReportsTheProgramsWholeStatus) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::optional<std::string> log;
    std::int64_t status;  // as the program defines it
  };
  // A PRN of 33 in a measurement's only channel.
  const testing::ChannelRecord prn33[] = {{0x20, 90, 0, 0, 0}};
  const std::string badPrn = testing::LogBuilder().measurement(5.0, prn33).text();
  const Case cases[] = {
      {"a conversion", {"-q", "-w", "1356"}, sampleLog(), 0},
      {"a usage error", {"--snr=yes"}, std::nullopt, 2},
      {"diagnostic 29", {"-w", "1356"}, std::nullopt, 0xC000001D},
      {"diagnostic 30", {"-w", "1356", "."}, std::nullopt, 0xC000001E},
      {"the PRN stop", {"-w", "1356"}, badPrn, 98463},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    if (c.log) folder.write("z.log", *c.log);
    const ProgramResult run = testing::runIn(folder, KAPOLEX_BINARY, c.arguments, std::nullopt);
    EXPECT_EQ(run.wholeExitStatus, testing::reportedExitStatus(c.status));
    EXPECT_EQ(run.exitStatus, c.status & 0xFF);
  }
}

}  // namespace
}  // namespace kapolex
