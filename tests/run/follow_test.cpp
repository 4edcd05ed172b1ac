// A followed run's decisions without a process: when it wakes and what it
// finishes (FollowTimes, with clocks given as numbers), and its split files
// in memory, finished by the clock or by a later period's epoch, with late
// epochs kept out of a finished file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "common/utc_clock.hpp"
#include "run/conversion.hpp"
#include "run/log_follower.hpp"
#include "run/named_files.hpp"
#include "support/memory_run.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

constexpr std::int64_t hour = 3600;
constexpr std::int64_t week1356 = std::int64_t{1356} * 7 * 86400;

TEST(FollowTimes, WakesOnlyWhenSomethingIsDueAndFinishesOnlyPastBothLimits) {
  struct Case {
    const char* name;
    FollowTimes times;
    std::int64_t wait;
    bool idleExit;
    std::optional<std::int64_t> endedBy;
  };
  const std::int64_t end = week1356 + hour;
  const Case cases[] = {
      {"nothing to wait for: no limit", {0, 0, 60, std::nullopt, end}, -1, false, std::nullopt},
      {"idle exit in 2.5 s", {500, 3, 60, std::nullopt, end}, 2500, false, std::nullopt},
      {"idle exit due", {3000, 3, 60, std::nullopt, end}, 0, true, std::nullopt},
      {"live: the clock reaches the end plus 60 s later than the quiet time",
       {1000, 0, 60, end, end - 30},
       90000,
       false,
       std::nullopt},
      {"replay: the clock is long past, the quiet time decides",
       {1000, 0, 60, end, end + 86400},
       59000,
       false,
       std::nullopt},
      {"quiet for long enough and the clock past the end by as much",
       {60000, 0, 60, end, end + 60},
       0,
       false,
       end},
      {"the nearer of the idle exit and the finish",
       {0, 10, 60, end, end + 86400},
       10000,
       false,
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.times.waitMilliseconds(), c.wait);
    EXPECT_EQ(c.times.idleExitDue(), c.idleExit);
    EXPECT_EQ(c.times.periodsEndedBy(), c.endedBy);
  }
}

TEST(FollowTimes, TheComputersClockIsReadAsGpsTime) {
  // 2006-01-01 00:00:00 UTC is the start of GPS week 1356 as UTC reads
  // it; GPS time is ahead by the leap seconds the seam counts.
  const UtcClock pinned{[] { return std::int64_t{1136073600}; }};
  EXPECT_EQ(gpsSecondsOfUtc(pinned.readSeconds()), week1356 + gpsAheadOfUtcSeconds);
}

// Split files in memory, as a followed run names, finishes and lists them.
struct MemoryFiles {
  std::map<std::string, std::string> bytes;
  std::set<std::string> renamedAway;
  std::vector<std::string> finished;  // "PATH N" at each finish
  std::vector<std::int64_t> late;     // the counts told

  // The files under their final names, as the disk would hold them.
  std::map<std::string, std::string> onDisk() const {
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : bytes) {
      if (renamedAway.count(path) == 0) files[path] = content;
    }
    return files;
  }
};

class SplitConversion {
 public:
  SplitConversion(MemoryFiles& files, bool follow)
      : observations_(header(), 2),
        named_(naming(follow), header(), access(files, follow)),
        streams_{&observations_, input_, console_, errors_, testing::pinnedClock(), {}, &named_},
        conversion_(streams_, {1356, 5, true, {}, nullptr, follow}, "/memory/z.log", 4096) {
    conversion_.start();
  }

  void feed(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      const std::span<std::uint8_t> space = conversion_.logSpace();
      const std::size_t count = std::min(space.size(), bytes.size());
      std::memcpy(space.data(), bytes.data(), count);
      conversion_.logAdded(count);
      bytes = bytes.subspan(count);
    }
  }
  Conversion& conversion() { return conversion_; }
  int end() {
    conversion_.logStopped();
    observations_.close();
    return conversion_.exitStatus();
  }
  const std::string& console() const { return console_text_; }

 private:
  static HeaderFields header() {
    HeaderFields fields;
    fields.withLastObservation = true;
    return fields;
  }
  static StandardNaming naming(bool follow) { return {"", "xxxx", hourlyPeriod, "", follow}; }
  static NamedFileAccess access(MemoryFiles& files, bool follow) {
    NamedFileAccess access{[&files](const std::string& path) {
                             files.renamedAway.erase(path);
                             return OutputSink(files.bytes[path], 2, path, 4096);
                           },
                           [&files](const std::string& from, const std::string& to) {
                             files.bytes[to] = files.bytes[from];
                             files.renamedAway.insert(from);
                             return true;
                           }};
    if (!follow) return access;
    access.finished = [&files](const WrittenFile& file) {
      files.finished.push_back(file.path + " " + std::to_string(file.epochs));
    };
    access.lateEpoch = [&files](std::int64_t count) { files.late.push_back(count); };
    return access;
  }

  ObservationWriter observations_;
  NamedObservationFiles named_;
  ConsoleInput input_ = ConsoleInput::fromText("");
  std::string console_text_;
  std::string errors_text_;
  OutputSink console_{console_text_, -1, "CONOUT$", 256};
  OutputSink errors_{errors_text_, 0, "", 256};
  RunStreams streams_;
  Conversion conversion_;
};

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Every message of these logs is 149 bytes: twelve channels, one a second.
constexpr std::size_t messageSize = 149;

std::optional<std::string> logFrom(std::int64_t secondOfWeek, int seconds) {
  return testing::simulatedLog({"--week", "1356", "--sow", std::to_string(secondOfWeek),
                                "--duration", std::to_string(seconds), "--mask", "-10"});
}

TEST(FollowedSplit, FilesAreTheNormalRunsFinishedOnceEachAcrossMidnightAndTheWeeksEnd) {
  struct Case {
    const char* name;
    std::int64_t secondOfWeek;
    std::size_t files;
  };
  const Case cases[] = {
      {"an hour's end", 3500, 2},
      {"midnight", 86400 - 100, 2},
      {"the week's end", 7 * 86400 - 100, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::string> log = logFrom(c.secondOfWeek, 200);
    ASSERT_TRUE(log.has_value());
    ASSERT_EQ(log->size(), 200 * messageSize);
    MemoryFiles normal;
    MemoryFiles followed;
    SplitConversion normalRun(normal, false);
    SplitConversion followedRun(followed, true);
    normalRun.feed(bytesOf(*log));
    // Cut at bytes that no message boundary meets.
    for (std::size_t at = 0; at < log->size(); at += 977) {
      followedRun.feed(bytesOf(log->substr(at, 977)));
    }
    EXPECT_EQ(normalRun.end(), 0);
    EXPECT_EQ(followedRun.end(), 0);
    EXPECT_EQ(followed.onDisk(), normal.onDisk());
    EXPECT_EQ(followed.onDisk().size(), c.files);
    ASSERT_EQ(followed.finished.size(), c.files);
    EXPECT_EQ(followed.renamedAway.size(), c.files);  // every .part
    EXPECT_TRUE(followed.late.empty());
  }
}

TEST(FollowedSplit, APeriodFinishedByTheClockTakesNoLateEpochAndTheNextPeriodGoesOn) {
  const std::optional<std::string> log = logFrom(3500, 200);
  ASSERT_TRUE(log.has_value());
  MemoryFiles files;
  SplitConversion run(files, true);
  // 80 of the first hour's 100 seconds; the clock then says it is over.
  run.feed(bytesOf(log->substr(0, 80 * messageSize)));
  EXPECT_EQ(run.conversion().openPeriodEnd(), week1356 + hour);
  run.conversion().finishPeriodEndedBy(week1356 + hour - 1);
  EXPECT_TRUE(files.finished.empty()) << "the period has not ended by then";
  run.conversion().finishPeriodEndedBy(week1356 + hour);
  ASSERT_EQ(files.finished.size(), 1U);
  EXPECT_EQ(run.conversion().openPeriodEnd(), std::nullopt);
  const std::map<std::string, std::string> firstFinished = files.onDisk();
  ASSERT_EQ(firstFinished.size(), 1U);
  const std::string firstName = firstFinished.begin()->first;
  EXPECT_EQ(files.finished.front(), firstName + " 16");
  // The rest of the hour arrives late: 4 kept epochs, counted, not written.
  run.conversion().finishPeriodEndedBy(week1356 + 2 * hour);
  run.feed(bytesOf(log->substr(80 * messageSize, 20 * messageSize)));
  EXPECT_EQ(files.late, (std::vector<std::int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(files.onDisk().at(firstName), firstFinished.at(firstName));
  run.feed(bytesOf(log->substr(100 * messageSize)));
  EXPECT_EQ(run.end(), 0);
  ASSERT_EQ(files.finished.size(), 2U);
  EXPECT_EQ(files.onDisk().size(), 2U);
  EXPECT_NE(files.finished.back().find(" 20"), std::string::npos) << files.finished.back();
}

TEST(FollowedSplit, AStopInsideAMessageDropsItAndEndsCleanly) {
  const std::optional<std::string> log = logFrom(3500, 50);
  ASSERT_TRUE(log.has_value());
  MemoryFiles cut;
  MemoryFiles whole;
  SplitConversion cutRun(cut, true);
  SplitConversion wholeRun(whole, true);
  cutRun.feed(bytesOf(log->substr(0, 30 * messageSize + messageSize / 2)));
  wholeRun.feed(bytesOf(log->substr(0, 30 * messageSize)));
  EXPECT_EQ(cutRun.end(), 0);
  EXPECT_EQ(wholeRun.end(), 0);
  EXPECT_EQ(cut.onDisk(), whole.onDisk());
  EXPECT_EQ(cutRun.console(), wholeRun.console());
}

}  // namespace
}  // namespace kapolex
