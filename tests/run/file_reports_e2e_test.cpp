// The quality reports beside each file of a split run, through the real
// program on simulated logs: each file's NAME.qc, NAME.qc.json and NAME.svg
// are byte for byte the reports of a separate run over that file's part of
// the log, the log cut at the message of each file's first epoch; the
// whole-run reports stay as they were; the options need --split.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/log_reader.hpp"
#include "measure/gps_time.hpp"
#include "receiver_log/framing.hpp"
#include "receiver_log/measurement_body.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::FolderFiles;
using testing::FolderRun;

// Where the log is cut: the offset of the measurement message of a file's
// first epoch, and the week a separate run over the part is given.
struct Part {
  std::size_t offset = 0;
  std::int32_t week = 0;
};

// The parts of a log as a split run over it files them: a new part at the
// first kept epoch of each later period, the week followed as the program
// follows it. The first part starts at the log's start.
std::vector<Part> partsOf(const std::string& log, std::int32_t week, std::int32_t interval,
                          std::int64_t periodSeconds) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(log.data());
  LogReader reader(std::span<const std::uint8_t>(bytes, log.size()), "part");
  MessageFramer framer(reader);
  std::vector<Part> parts{{0, week}};
  std::optional<std::int64_t> period;
  double previous = 0.0;
  MessageHeader message;
  while (framer.next(message) == FrameStep::message) {
    if (!isMeasurementMessage(message.id)) continue;
    const std::size_t start = static_cast<std::size_t>(reader.position()) - messageHeaderSize;
    const BodyHead head = readBodyHead(reader.peek(bodyHeadSize).data());
    reader.skip(bodyReadSize(head));
    if (!isUsableReceiveTime(head.receiveTime)) continue;
    if (head.receiveTime < previous) ++week;
    previous = head.receiveTime;
    if (!keepEpoch(head.receiveTime, interval)) continue;
    const std::int64_t now = gpsSecondOfEpoch(week, head.receiveTime) / periodSeconds;
    if (period && now > *period) parts.push_back({start, week});
    if (!period || now > *period) period = now;
  }
  return parts;
}

const std::vector<std::string> reportSuffixes = {".qc", ".qc.json", ".svg"};

TEST(FileReports, EqualTheReportsOfEachFilesPartRunAlone) {
  struct Case {
    const char* name;
    std::vector<std::string> zlogsim;
    std::vector<std::string> options;  // for the split run and the parts' runs alike
    std::int64_t periodSeconds;
    std::size_t files;
  };
  const Case cases[] = {
      // Three hours across a midnight, with slips, losses of lock and
      // other messages.
      {"hours",
       {"--sow", "84600", "--duration", "10800", "--lock-loss", "4", "--slips", "2", "--other", "1",
        "--other-ids", "8,19,50", "--seed", "3"},
       {},
       3600,
       4},
      // Half an hour across the week's end, which the week follows.
      {"week end", {"--cross-week-end", "--duration", "1800", "--lock-loss", "6"}, {}, 3600, 2},
      // Two and a half days at 0.1 Hz, written every 30 s.
      {"days",
       {"--sow", "43200", "--duration", "216000", "--rate", "0.1", "--slips", "1"},
       {"--interval", "30"},
       86400,
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::string> log = testing::simulatedLog(c.zlogsim);
    ASSERT_TRUE(log);
    const std::int32_t interval = c.options.empty() ? 5 : std::stoi(c.options[1]);
    std::vector<std::string> split = {
        "-w",        "1356",           "--split",     c.periodSeconds == 3600 ? "hour" : "day",
        "--qc-each", "--qc-json-each", "--plot-each", "-o",
        "out"};
    split.insert(split.end(), c.options.begin(), c.options.end());
    const FolderRun run =
        testing::runWithFiles(KAPOLEX_BINARY, split, {{"z.log", *log}, {"out/", ""}});
    ASSERT_EQ(run.result.exitStatus, 0) << run.result.err;
    std::vector<std::string> files;
    for (const auto& [name, content] : run.files) {
      if (name.starts_with("out/") && name.ends_with(".06o")) files.push_back(name);
    }
    const std::vector<Part> parts = partsOf(*log, 1356, interval, c.periodSeconds);
    ASSERT_EQ(files.size(), c.files);
    ASSERT_EQ(parts.size(), files.size());
    EXPECT_EQ(run.files.size(), 1 + files.size() * (1 + reportSuffixes.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
      SCOPED_TRACE(files[i]);
      const std::size_t end = i + 1 < parts.size() ? parts[i + 1].offset : log->size();
      std::vector<std::string> alone = {"-w",        std::to_string(parts[i].week),
                                        "--qc",      "part.qc",
                                        "--qc-json", "part.qc.json",
                                        "--plot",    "part.svg",
                                        "part.log"};
      alone.insert(alone.end(), c.options.begin(), c.options.end());
      const FolderRun part = testing::runWithFiles(
          KAPOLEX_BINARY, alone,
          {{"part.log", log->substr(parts[i].offset, end - parts[i].offset)}});
      ASSERT_EQ(part.result.exitStatus, 0) << part.result.err;
      for (const std::string& suffix : reportSuffixes) {
        ASSERT_TRUE(run.files.contains(files[i] + suffix)) << suffix;
        EXPECT_TRUE(run.files.at(files[i] + suffix) == part.files.at("part" + suffix)) << suffix;
      }
    }
  }
}

// The whole run's reports and every observation file and console line are
// those of the run without the reports beside each file.
TEST(FileReports, LeaveTheWholeRunsOutputsAsTheyWere) {
  const std::optional<std::string> log =
      testing::simulatedLog({"--sow", "84600", "--duration", "7200", "--lock-loss", "3"});
  ASSERT_TRUE(log);
  const std::vector<std::string> plain = {"-w",     "1356",      "--split",  "hour",   "--qc",
                                          "all.qc", "--qc-json", "all.json", "--plot", "all.svg"};
  std::vector<std::string> each = plain;
  each.insert(each.end(), {"--qc-each", "--plot-each"});
  const FolderRun without = testing::runWithFiles(KAPOLEX_BINARY, plain, {{"z.log", *log}});
  const FolderRun with = testing::runWithFiles(KAPOLEX_BINARY, each, {{"z.log", *log}});
  ASSERT_EQ(with.result.exitStatus, 0) << with.result.err;
  EXPECT_EQ(with.result.out, without.result.out);
  // Header line 2 holds the time of the run.
  const auto comparable = [](FolderFiles files) {
    for (auto& [name, content] : files) {
      if (!name.ends_with(".06o")) continue;
      const std::size_t second = content.find('\n') + 1;
      content.erase(second, content.find('\n', second) - second);
    }
    return files;
  };
  FolderFiles others = with.files;
  std::size_t beside = 0;
  for (const auto& [name, content] : with.files) {
    if (name.ends_with(".06o.qc") || name.ends_with(".06o.svg")) {
      others.erase(name);
      ++beside;
    }
  }
  EXPECT_EQ(beside, 2 * 3U);  // 23:30 to 01:30: three files, each with two reports
  EXPECT_EQ(others.size(), without.files.size());
  EXPECT_TRUE(comparable(others) == comparable(without.files));
}

TEST(FileReports, NeedSplit) {
  for (const char* option : {"--qc-each", "--qc-json-each", "--plot-each"}) {
    for (const std::vector<std::string>& rest :
         {std::vector<std::string>{}, {"--standard-name"}, {"--no-obs"}}) {
      std::vector<std::string> arguments = {"-w", "1", option};
      arguments.insert(arguments.end(), rest.begin(), rest.end());
      const FolderRun run = testing::runWithFiles(KAPOLEX_BINARY, arguments, {});
      SCOPED_TRACE(option);
      EXPECT_EQ(run.result.exitStatus, 2);
      EXPECT_EQ(run.result.err, std::string("kapolex: option '") + option +
                                    "' needs '--split'\nTry 'kapolex --help'.\n");
      EXPECT_TRUE(run.files.empty());
    }
  }
}

}  // namespace
}  // namespace kapolex
