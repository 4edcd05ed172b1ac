// The real program when its files and console fail it in ways only Linux
// can arrange: a refused or full observation file in the middle of a long
// run, unreadable inputs and missing or odd console streams. Every stop must
// report exactly its diagnostic and leave every line produced before it in
// z.obs. (stop_e2e_test.cpp holds the stops that any system can arrange.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/output_sink.hpp"
#include "robust_support.hpp"
#include "support/log_builder.hpp"

namespace kapolex {
namespace {

namespace fs = std::filesystem;
using testing::carrierWord;
using testing::ChannelRecord;
using testing::convertInMemory;
using testing::diagnosticLine;
using testing::folderFile;
using testing::keptEpochs;
using testing::launchKapolex;
using testing::LaunchOptions;
using testing::LogBuilder;
using testing::ProgramResult;
using testing::runIn;
using testing::ScratchFolder;
using testing::Stream;
using testing::weekAnswer;
using testing::weekPrompt;

bool canOpen(const char* path, int flags) {
  const int fd = ::open(path, flags);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::size_t outputSizeOf(const LogBuilder& log) {
  return convertInMemory(log.bytes(), weekAnswer).observations.size();
}

TEST(Faults, ObservationWriteRefusedInTheMiddleOfTheRun) {
  if (!canOpen("/dev/full", O_WRONLY)) GTEST_SKIP() << "no /dev/full here";
  const LogBuilder log = keptEpochs(3000);
  ASSERT_GT(outputSizeOf(log), fileOutputBufferSize) << "the refusal must come mid-run";
  ScratchFolder folder;
  folder.write("z.log", log.text());
  fs::create_symlink("/dev/full", folder.path() / "z.obs");
  const ProgramResult result = launchKapolex(folder, {weekAnswer}).result;
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exitStatus, 38);
  EXPECT_EQ(result.err, diagnosticLine(38, "error during write", 2, folderFile(folder, "z.obs")));
  EXPECT_EQ(result.out, weekPrompt) << "no summary after a failed write";
}

// A run with z.obs on a file system of a few blocks, in a private mount
// namespace so that nothing of it is seen outside the test.
struct FullRun {
  ProgramResult result;
  std::string kept;  // z.obs as the run left it
  std::uintmax_t capacity = 0;
  std::string folder;  // where the run saw its files
};

constexpr int cannotMount = 77;

bool enterPrivateMountNamespace() {
  if (::unshare(CLONE_NEWNS) != 0) {
    // Without the right to mount here, a user namespace may still grant it.
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
  }
  // Keep the mount from propagating back to the machine's namespace.
  return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// False when this machine does not allow the mount.
bool runOnSmallFileSystem(const LogBuilder& log, std::size_t limitedBytes, FullRun& run) {
  ScratchFolder folder;
  const fs::path base = folder.path().parent_path();
  std::ofstream(base / "z.log", std::ios::binary) << log.text();
  const testing::ChildEnd end = testing::runChild([&] {
    // The mount lives only as long as this child's namespace, so the child
    // runs the program and leaves the results beside the mount point.
    const std::string size = "size=" + std::to_string(limitedBytes);
    if (!enterPrivateMountNamespace() ||
        ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, size.c_str()) != 0) {
      ::_exit(cannotMount);
    }
    fs::create_symlink(base / "z.log", folder.path() / "z.log");
    struct statvfs space {};
    ::statvfs(folder.path().c_str(), &space);
    const ProgramResult result = runIn(folder, KAPOLEX_BINARY, {}, weekAnswer);
    std::ofstream(base / "capacity") << space.f_blocks * space.f_frsize;
    std::ofstream(base / "status") << result.exitStatus << ' ' << result.signal;
    std::ofstream(base / "kept", std::ios::binary) << folder.read("z.obs").value_or("");
    ::_exit(0);
  });
  if (end.exitStatus == cannotMount) return false;
  EXPECT_EQ(end.exitStatus, 0);
  std::ifstream(base / "capacity") >> run.capacity;
  std::ifstream(base / "status") >> run.result.exitStatus >> run.result.signal;
  run.kept = testing::fileContent(base / "kept");
  run.result.out = testing::fileContent(base / "stdout");
  run.result.err = testing::fileContent(base / "stderr");
  run.folder = folder.path().string();
  return true;
}

TEST(Faults, FullFileSystemKeepsEveryByteItCouldHold) {
  const LogBuilder log = keptEpochs(4000);
  const std::string reference = convertInMemory(log.bytes(), weekAnswer).observations;
  const std::size_t limit = 1536 * 1024;
  ASSERT_GT(reference.size(), limit);
  FullRun run;
  if (!runOnSmallFileSystem(log, limit, run)) GTEST_SKIP() << "no right to mount a tmpfs here";
  EXPECT_EQ(run.result.signal, 0);
  EXPECT_EQ(run.result.exitStatus, 38);
  EXPECT_EQ(run.result.err, diagnosticLine(38, "error during write", 2, run.folder + "/z.obs"));
  EXPECT_EQ(run.result.out, weekPrompt);
  // The first buffer went out whole; the second filled the file system to
  // its last byte, with the run's own bytes.
  ASSERT_GT(run.kept.size(), fileOutputBufferSize);
  EXPECT_EQ(run.kept.size(), run.capacity);
  const auto keptLines = testing::linesWithoutRunDate(run.kept);
  const auto referenceLines = testing::linesWithoutRunDate(reference.substr(0, run.kept.size()));
  EXPECT_TRUE(keptLines == referenceLines) << "z.obs is not the start of the full run's file";
}

// A stop whose own diagnostic is followed by a failure to write out the
// lines still buffered for z.obs: both are reported, the second one's status
// is returned.
TEST(Faults, StopThatCannotWriteOutItsLinesReportsBoth) {
  if (!canOpen("/dev/full", O_WRONLY)) GTEST_SKIP() << "no /dev/full here";
  std::vector<ChannelRecord> badPrn(2, ChannelRecord{4, 99, 1234, carrierWord(55, 0), 0});
  badPrn[1].prnByte = 0x3F;  // PRN 64
  const LogBuilder before = keptEpochs(20);
  const std::string tails[] = {
      LogBuilder().measurement(105.0, badPrn).text(),
      LogBuilder().measurement(105.0, badPrn).text().substr(0, 4 + 11 + 5),
  };
  const char* const firstLines[] = {"98463\n", nullptr};
  for (int i = 0; i < 2; ++i) {
    ScratchFolder folder;
    folder.write("z.log", before.text() + tails[i]);
    fs::create_symlink("/dev/full", folder.path() / "z.obs");
    const ProgramResult result = launchKapolex(folder, {weekAnswer}).result;
    const std::string first =
        firstLines[i] != nullptr
            ? std::string(firstLines[i])
            : diagnosticLine(24, "end-of-file during read", 1, folderFile(folder, "z.log"));
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitStatus, 38) << i;
    EXPECT_EQ(result.err,
              first + diagnosticLine(38, "error during write", 2, folderFile(folder, "z.obs")));
    EXPECT_EQ(result.out, weekPrompt);
  }
}

enum class Leftover { none, empty, unchanged, fixedHeader };

TEST(Faults, UnusableStreamsStopWithTheirDiagnostic) {
  struct Case {
    const char* name;
    // Sets up the folder; false when this machine cannot make the case.
    std::function<bool(const ScratchFolder&)> prepare;
    LaunchOptions launch;
    int number;
    const char* text;
    int unit;
    const char* file;  // a name in the folder, or the console's name
    const char* out;
    Leftover leftover;
  };
  const std::string someLog = keptEpochs(3).text();
  auto withLog = [&](const ScratchFolder& folder) {
    folder.write("z.log", someLog);
    return true;
  };
  const Case cases[] = {
      {"z.log not readable",
       [&](const ScratchFolder& folder) {
         withLog(folder);
         fs::permissions(folder.path() / "z.log", fs::perms::none);
         return true;
       },
       {.standardInput = weekAnswer, .asUnprivileged = true},
       9,
       "permission to access file denied",
       1,
       "z.log",
       "",
       Leftover::none},
      {"z.obs not writable",
       [&](const ScratchFolder& folder) {
         withLog(folder);
         folder.write("z.obs", "old\r\n");
         fs::permissions(folder.path() / "z.obs",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         return true;
       },
       {.standardInput = weekAnswer, .asUnprivileged = true},
       9,
       "permission to access file denied",
       2,
       "z.obs",
       "",
       Leftover::unchanged},
      {"z.log a link to itself",
       [](const ScratchFolder& folder) {
         fs::create_symlink("z.log", folder.path() / "z.log");
         return true;
       },
       {weekAnswer},
       30,
       "open failure",
       1,
       "z.log",
       "",
       Leftover::none},
      {"z.log failing at its first read",
       [](const ScratchFolder& folder) {
         // Reading a process's own memory at address 0 fails with EIO.
         fs::create_symlink("/proc/self/mem", folder.path() / "z.log");
         return canOpen("/proc/self/mem", O_RDONLY);
       },
       {weekAnswer},
       39,
       "error during read",
       1,
       "z.log",
       " GPS week = ",
       Leftover::fixedHeader},
      {"standard input a directory",
       withLog,
       {.standardInput = std::nullopt, .inputKind = Stream::directory},
       39,
       "error during read",
       -4,
       "CONIN$",
       " GPS week = ",
       Leftover::empty},
      {"standard output refusing the prompt",
       [&](const ScratchFolder& folder) {
         return withLog(folder) && canOpen("/dev/full", O_WRONLY);
       },
       {.standardInput = weekAnswer, .outputKind = Stream::full},
       38,
       "error during write",
       -1,
       "CONOUT$",
       "",
       Leftover::empty},
  };
  const std::string fixedHeader = convertInMemory({}, weekAnswer).observations;
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    std::optional<std::string> blocker;
    if (!c.prepare(folder)) {
      blocker = "this machine cannot make the case";
    } else if (c.launch.asUnprivileged) {
      blocker = testing::whyNotAsNobody(folder);
    }
    if (blocker) {
      std::printf("skipped here: %s: %s\n", c.name, blocker->c_str());
      skipped += std::string(skipped.empty() ? "" : "; ") + c.name + ": " + *blocker;
      continue;
    }
    const ProgramResult result = launchKapolex(folder, c.launch).result;
    const std::string file = c.unit > 0 ? folderFile(folder, c.file) : std::string(c.file);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitStatus, c.number);
    EXPECT_EQ(result.err, diagnosticLine(c.number, c.text, c.unit, file));
    if (c.launch.outputKind == Stream::file) {
      EXPECT_EQ(result.out, c.out);
    }
    switch (c.leftover) {
      case Leftover::none:
        EXPECT_FALSE(fs::exists(folder.path() / "z.obs"));
        break;
      case Leftover::empty:
        EXPECT_EQ(result.observations, std::string());
        break;
      case Leftover::unchanged:
        EXPECT_EQ(result.observations, std::string("old\r\n"));
        break;
      case Leftover::fixedHeader:
        ASSERT_TRUE(result.observations.has_value());
        EXPECT_EQ(testing::linesWithoutRunDate(*result.observations),
                  testing::linesWithoutRunDate(fixedHeader));
        break;
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << "cases not made here: " << skipped;
}

}  // namespace
}  // namespace kapolex
