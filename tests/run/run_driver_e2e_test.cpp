// The real program in a temporary folder: what it prints, what it leaves in
// z.obs and how it exits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/log_builder.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::diagnosticLine;
using testing::LogBuilder;
using testing::ProgramResult;
using testing::runIn;
using testing::runKapolex;
using testing::ScratchFolder;
using testing::splitCrLfLines;

const std::string prompt = " GPS week = ";
const std::string noMeasurements = " No Type 23 messages found.\r\n";

std::string summaryLine(int id, long long count) {
  char line[64];
  std::snprintf(line, sizeof line, " id=%12d   count=%12lld\r\n", id, count);
  return line;
}

TEST(RunDriver, EmptyLogGivesTheFixedHeaderAndTheRemark) {
  const ProgramResult result = runKapolex(std::string(), "1380\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, prompt + noMeasurements);
  EXPECT_EQ(result.err, "");
  ASSERT_TRUE(result.observations.has_value());
  const auto lines = splitCrLfLines(*result.observations);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines.front().substr(60), "RINEX VERSION / TYPE");
  EXPECT_EQ(lines.back().substr(60), "COMMENT");
  EXPECT_EQ(result.observations->substr(result.observations->size() - 2), "\r\n");
}

TEST(RunDriver, SummaryListsEveryIdOnceInAscendingOrder) {
  std::vector<testing::ChannelRecord> none;
  LogBuilder log;
  log.other(200, 3).other(5, 1).other(200, 7).raw({0x01, 0x09, 0xF6, 0x00, 0, 0});
  // Measurement messages with a negative receive time are counted, not written.
  log.measurement(-5.0, none, 151).other(0, 1).other(255, 2);
  const ProgramResult result = runKapolex(log.text(), "1380\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, prompt + summaryLine(0, 1) + summaryLine(5, 1) + summaryLine(151, 1) +
                            summaryLine(200, 2) + summaryLine(255, 1) + noMeasurements);
  EXPECT_EQ(summaryLine(23, 1234), " id=          23   count=        1234\r\n");
}

TEST(RunDriver, MissingLogStopsBeforeAnythingElse) {
  ScratchFolder folder;
  const ProgramResult result = runIn(folder, KAPOLEX_BINARY, {}, "1380\n");
  EXPECT_EQ(result.exitStatus, 29);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            diagnosticLine(29, "file not found", 1, (folder.path() / "z.log").string()));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "z.obs"));
}

TEST(RunDriver, EndOfInputAtThePromptLeavesObservationsUntouched) {
  const std::string stop = diagnosticLine(24, "end-of-file during read", -4, "CONIN$");
  const ProgramResult fresh = runKapolex(std::string(), "");
  EXPECT_EQ(fresh.exitStatus, 24);
  EXPECT_EQ(fresh.out, prompt);
  EXPECT_EQ(fresh.err, stop);
  EXPECT_EQ(fresh.observations, std::string());

  const ProgramResult existing = runKapolex(std::string(), "abc\n\n", std::string("old\r\n"));
  EXPECT_EQ(existing.exitStatus, 24);
  EXPECT_EQ(existing.out, prompt + prompt);
  EXPECT_EQ(existing.err, stop);
  EXPECT_EQ(existing.observations, std::string("old\r\n"));

  ScratchFolder folder;
  folder.write("z.log", "");
  const ProgramResult closed = runIn(folder, KAPOLEX_BINARY, {}, std::nullopt);
  EXPECT_EQ(closed.exitStatus, 24);
  EXPECT_EQ(closed.err, stop);
}

TEST(RunDriver, ExistingLongerObservationFileIsReplacedWhole) {
  const std::string old(100000, '~');
  const ProgramResult result = runKapolex(std::string(), "1380\n", old);
  EXPECT_EQ(result.exitStatus, 0);
  ASSERT_TRUE(result.observations.has_value());
  EXPECT_EQ(result.observations->find('~'), std::string::npos);
  EXPECT_EQ(splitCrLfLines(*result.observations).size(), 15u);
}

TEST(RunDriver, UnusableFilesStopWithTheirDiagnostic) {
  {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path() / "z.log");
    const ProgramResult result = runIn(folder, KAPOLEX_BINARY, {}, "1380\n");
    EXPECT_EQ(result.exitStatus, 30);
    EXPECT_EQ(result.err,
              diagnosticLine(30, "open failure", 1, (folder.path() / "z.log").string()));
    EXPECT_EQ(result.out, "");
  }
  if (::access("/dev/full", W_OK) == 0) {
    ScratchFolder folder;
    folder.write("z.log", LogBuilder().other(5, 1).text());
    std::filesystem::create_symlink("/dev/full", folder.path() / "z.obs");
    const ProgramResult result = runIn(folder, KAPOLEX_BINARY, {}, "1380\n");
    EXPECT_EQ(result.exitStatus, 38);
    EXPECT_EQ(result.err,
              diagnosticLine(38, "error during write", 2, (folder.path() / "z.obs").string()));
    EXPECT_EQ(result.out, prompt) << "no summary after a failed write";
  }
  {
    ScratchFolder folder;
    folder.write("z.log", "");
    std::filesystem::create_directory(folder.path() / "z.obs");
    const ProgramResult result = runIn(folder, KAPOLEX_BINARY, {}, "1380\n");
    EXPECT_EQ(result.exitStatus, 30);
    EXPECT_EQ(result.err,
              diagnosticLine(30, "open failure", 2, (folder.path() / "z.obs").string()));
  }
}

}  // namespace
}  // namespace kapolex
