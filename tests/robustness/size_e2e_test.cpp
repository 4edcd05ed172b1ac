// Logs far larger than the program's buffers: the memory a run needs must
// not grow with the log, and a log past 4 GiB must be read to its end like
// any other. The large files are sparse or made of a repeated block, so the
// tests need little disk and no time to build them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "robust_support.hpp"

namespace kapolex {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::convertInMemory;
using testing::launchKapolex;
using testing::LaunchResult;
using testing::ScratchFolder;

const std::string answer = "1356\n";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool underSanitizers = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool underSanitizers = true;
#else
constexpr bool underSanitizers = false;
#endif
#else
constexpr bool underSanitizers = false;
#endif

// A whole number of synthesised messages, about a megabyte.
const Bytes& block() {
  static const Bytes log =
      testing::synthesizedLog({"--size", "1M", "--other", "1", "-s", "5", "-o", "z.log"});
  return log;
}

// Writes the pieces at their offsets into a file of the given size; the
// rest of the file is a hole that reads as zeros.
void writeSparse(const std::string& path, std::uint64_t size,
                 const std::vector<std::pair<std::uint64_t, const Bytes*>>& pieces) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  for (const auto& [offset, bytes] : pieces) {
    ASSERT_EQ(::pwrite(fd, bytes->data(), bytes->size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes->size()));
  }
  ASSERT_EQ(::close(fd), 0);
}

// Holes of a tmpfs file read at memory speed (16 GB/s here); on a disk file
// system the kernel fills the page cache with zero pages at some 300 MB/s.
// The log is put on /dev/shm when that is a tmpfs, and z.log links to it.
class SparseLog {
 public:
  explicit SparseLog(const ScratchFolder& folder) : path_((folder.path() / "z.log").string()) {
    struct statfs shm {};
    if (::statfs("/dev/shm", &shm) != 0 || shm.f_type != TMPFS_MAGIC) return;
    std::string pattern = "/dev/shm/kapolex-test-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return;
    ::close(fd);
    std::filesystem::create_symlink(pattern, path_);
    path_ = pattern;
    outside_ = true;
  }
  ~SparseLog() {
    if (outside_) ::unlink(path_.c_str());
  }
  SparseLog(const SparseLog&) = delete;
  SparseLog& operator=(const SparseLog&) = delete;
  const std::string& path() const { return path_; }
  bool onTmpfs() const { return outside_; }

 private:
  std::string path_;
  bool outside_ = false;
};

LaunchResult convertFile(const ScratchFolder& folder) {
  return launchKapolex(folder, {answer});
}

// A log of copies of the block: every copy starts the week's seconds again,
// so each one is a week rollover and its epochs are all written.
void writeCopies(const ScratchFolder& folder, std::size_t copies) {
  std::vector<std::pair<std::uint64_t, const Bytes*>> pieces;
  for (std::size_t i = 0; i < copies; ++i) pieces.emplace_back(i * block().size(), &block());
  writeSparse((folder.path() / "z.log").string(), copies * block().size(), pieces);
}

TEST(LargeLogs, MemoryDoesNotGrowWithTheLog) {
  // Four copies fill the log's block and the output buffer (1 MiB each)
  // several times over, so the small run has touched all of its memory too.
  constexpr std::size_t smallCopies = 4;
  constexpr std::size_t largeCopies = 40;
  ScratchFolder small;
  writeCopies(small, smallCopies);
  const LaunchResult smallRun = convertFile(small);
  ASSERT_EQ(smallRun.result.exitStatus, 0) << smallRun.result.err;
  // A short run reaches its peak at its end, and on a busy machine the
  // sampler can miss that end; it never overstates a peak, so the largest of
  // a few runs is taken.
  long smallPeak = smallRun.peakKilobytes;
  for (int again = 0; again < 4; ++again) {
    smallPeak = std::max(smallPeak, convertFile(small).peakKilobytes);
  }
  ScratchFolder large;
  writeCopies(large, largeCopies);
  const LaunchResult largeRun = convertFile(large);
  ASSERT_EQ(largeRun.result.exitStatus, 0) << largeRun.result.err;
  ASSERT_GT(largeRun.result.observations->size(), 5 * smallRun.result.observations->size());

  std::printf("peak resident set: %ld KiB for a %zu-byte log, %ld KiB for %zu times that\n",
              smallPeak, smallCopies * block().size(), largeRun.peakKilobytes,
              largeCopies / smallCopies);
  ASSERT_GT(smallPeak, 0) << "the run was never sampled";
  // The buffers are fixed; a log ten times as long may not need a megabyte more.
  EXPECT_LT(largeRun.peakKilobytes - smallPeak, 1024);
}

TEST(LargeLogs, ReadsOnPastFourGibibytes) {
  constexpr std::uint64_t fourGiB = std::uint64_t{1} << 32;
  constexpr std::uint64_t fileSize = fourGiB + (std::uint64_t{1} << 29);
  const Bytes& messages = block();
  // The same messages at the start, across the 4 GiB mark at an offset that
  // is not a multiple of any buffer size, and at the very end.
  const std::uint64_t across = fourGiB - messages.size() / 2 - 3;
  const std::uint64_t atEnd = fileSize - messages.size();
  ScratchFolder folder;
  const SparseLog log(folder);
  if (!log.onTmpfs() && underSanitizers) {
    GTEST_SKIP() << "no tmpfs at /dev/shm: from a disk file system the 4.5 GB of holes go "
                    "through the page cache at some 300 MB/s; the optimised build runs this test";
  }
  writeSparse(log.path(), fileSize, {{0, &messages}, {across, &messages}, {atEnd, &messages}});

  // Zeros never start a header, so the holes are slid over and the run must
  // give what the three copies back to back give.
  Bytes compact;
  for (int i = 0; i < 3; ++i) compact.insert(compact.end(), messages.begin(), messages.end());
  const testing::MemoryRun expected = convertInMemory(compact, answer);
  ASSERT_EQ(expected.status, 0);

  const LaunchResult run = convertFile(folder);
  EXPECT_EQ(run.result.signal, 0);
  ASSERT_EQ(run.result.exitStatus, 0) << run.result.err;
  EXPECT_EQ(run.result.out, expected.console);
  ASSERT_TRUE(run.result.observations.has_value());
  EXPECT_TRUE(testing::linesWithoutRunDate(*run.result.observations) ==
              testing::linesWithoutRunDate(expected.observations));
  std::printf("peak resident set for a %llu-byte log: %ld KiB\n",
              static_cast<unsigned long long>(fileSize), run.peakKilobytes);
}

}  // namespace
}  // namespace kapolex
