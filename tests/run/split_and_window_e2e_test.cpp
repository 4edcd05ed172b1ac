// Time windows, files split by day or hour and standard names, through the
// real program on simulated logs: split files hold exactly the unsplit
// file's epochs under their standard names and headers, RINEX 3 holds the
// RINEX 2 values, a window keeps exactly the epochs in it, and a stop keeps
// every line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.hpp"
#include "physical/rinex_observation_reader.hpp"
#include "support/program_run.hpp"
#include "support/version_agreement.hpp"

namespace kapolex {
namespace {

using physical::CalendarTime;
using physical::ObservationFile;
using testing::FolderFiles;
using testing::FolderRun;
using testing::readClean;

constexpr std::int64_t secondsPerDay = 86400;

// A path as the program joins it: "out/x.06o" with the system's separator.
std::string nativePath(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::pathSeparator);
  return path;
}

FolderRun kapolexWith(const std::vector<std::string>& arguments, const FolderFiles& files) {
  return testing::runWithFiles(KAPOLEX_BINARY, arguments, files);
}

std::string logOf(const std::vector<std::string>& zlogsimArguments) {
  const std::optional<std::string> log = testing::simulatedLog(zlogsimArguments);
  if (!log) ADD_FAILURE() << "zlogsim failed";
  return log.value_or("");
}

// The lines after END OF HEADER, and the header's lines.
std::string bodyOf(const std::string& file) {
  const std::size_t end = file.find("END OF HEADER\r\n");
  return end == std::string::npos ? "" : file.substr(end + 15);
}
std::vector<std::string> headerOf(const std::string& file) {
  return testing::splitCrLfLines(file.substr(0, file.size() - bodyOf(file).size()));
}

// An epoch's whole GPS second, rounded as the program rounds it.
std::int64_t gpsSecondOf(const CalendarTime& t) {
  using namespace std::chrono;
  const sys_days date{year{t.year} / t.month / t.day};
  const std::int64_t days = (date - sys_days{year{1980} / 1 / 6}).count();
  return days * secondsPerDay + t.hour * 3600 + t.minute * 60 + std::llround(t.second);
}

// "YYYY-MM-DDTHH:MM:SS" as a calendar time.
CalendarTime timeOfText(const std::string& text) {
  const auto field = [&](std::size_t at, std::size_t length) {
    return std::stoi(text.substr(at, length));
  };
  return {field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), 1.0 * field(17, 2)};
}

bool sameTime(const CalendarTime& a, const CalendarTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

// A file's header against the unsplit file's: the same records but the
// run's date and the times of the first and last epochs, which must be this
// file's own (a plain RINEX 2 file has no TIME OF LAST OBS).
void expectOwnHeader(const std::string& file, const ObservationFile& read,
                     const std::string& unsplit) {
  ASSERT_FALSE(read.epochs.empty());
  ASSERT_TRUE(read.header.firstObservation && read.header.lastObservation);
  EXPECT_TRUE(sameTime(*read.header.firstObservation, read.epochs.front().time));
  EXPECT_TRUE(sameTime(*read.header.lastObservation, read.epochs.back().time));
  const auto comparable = [](const std::string& text) {
    std::vector<std::string> lines;
    for (std::string& line : headerOf(text)) {
      if (line.ends_with("TIME OF LAST OBS")) continue;
      if (lines.size() == 1 || line.ends_with("TIME OF FIRST OBS")) line = line.substr(60);
      lines.push_back(std::move(line));
    }
    return lines;
  };
  EXPECT_EQ(comparable(file), comparable(unsplit));
}

// Files split by day or hour, or one standard-named file: each under the
// name worked out by hand, with its own header and its period's epochs,
// together the unsplit file's lines, also after a stop. A RINEX 3 file holds
// the values of RINEX 2.
TEST(NamedFiles, HoldTheUnsplitFilesLinesUnderTheirStandardNames) {
  // Three days at 0.1 Hz from noon, written every 30 s: a half day, two
  // whole ones and a half day; the same cut inside the last message.
  const std::vector<std::string> days = {"--duration", "259200", "--rate", "0.1", "--sow", "43200"};
  const std::string threeDays = logOf(days);
  std::vector<std::string> cutArguments = days;
  cutArguments.push_back("--truncate");
  const std::string cut = logOf(cutArguments);
  // Two hours at 1 Hz from 23:30, with losses of lock and other messages.
  const std::string midnight = logOf(
      {"--duration", "7200", "--sow", "84600", "--lock-loss", "4", "--other", "1", "--seed", "6"});
  // Ten minutes across the end of the week, which is a midnight too.
  const std::string weekEnd = logOf({"--cross-week-end", "--duration", "600"});
  const std::vector<std::string> every30 = {"--interval", "30", "--marker-name", "PILL"};
  struct Case {
    const char* name;
    const std::string& log;
    std::vector<std::string> common;  // for the unsplit run too
    std::vector<std::string> naming;
    std::vector<std::string> names;
    std::int64_t period = 0;  // of split files, in seconds
    int status = 0;           // 24: the log ends inside a message; 30: a name is the log's
    bool allLines = true;     // of the unsplit file, or some
    std::string logName = "z.log";
  };
  const Case cases[] = {
      {"RINEX 2, days",
       threeDays,
       every30,
       {"--split", "day"},
       {"pill0010.06o", "pill0020.06o", "pill0030.06o", "pill0040.06o"},
       secondsPerDay},
      {"RINEX 3, days, a 9-character station, the folder as given",
       threeDays,
       {"--interval", "30", "--rinex-version", "3"},
       {"--split", "day", "--station", "PIL700DEU", "-o", "."},
       {"./PIL700DEU_R_20060010000_01D_30S_GO.rnx", "./PIL700DEU_R_20060020000_01D_30S_GO.rnx",
        "./PIL700DEU_R_20060030000_01D_30S_GO.rnx", "./PIL700DEU_R_20060040000_01D_30S_GO.rnx"},
       secondsPerDay},
      {"RINEX 2, hours across midnight, in a folder",
       midnight,
       {},
       {"--split", "hour", "--station", "ab12", "-o", "out"},
       {"out/ab12001x.06o", "out/ab12002a.06o", "out/ab12002b.06o"},
       3600},
      {"RINEX 3, hours with S1C",
       midnight,
       {"--rinex-version", "3", "--snr"},
       {"--split", "hour"},
       {"XXXX00XXX_R_20060012300_01H_05S_GO.rnx", "XXXX00XXX_R_20060020000_01H_05S_GO.rnx",
        "XXXX00XXX_R_20060020100_01H_05S_GO.rnx"},
       3600},
      {"RINEX 3, days across the week's end",
       weekEnd,
       {"--rinex-version", "3", "--interval", "1"},
       {"--split", "day"},
       {"XXXX00XXX_R_20060070000_01D_01S_GO.rnx", "XXXX00XXX_R_20060080000_01D_01S_GO.rnx"},
       secondsPerDay},
      {"a log cut short, in daily files",
       cut,
       every30,
       {"--split", "day"},
       {"pill0010.06o", "pill0020.06o", "pill0030.06o", "pill0040.06o"},
       secondsPerDay,
       24},
      // From 12:00 to 11:59:30 three days later, plus the interval.
      {"a log cut short, in one standard-named file",
       cut,
       {"--interval", "30", "--marker-name", "PILL", "--rinex-version", "3"},
       {"--standard-name"},
       {"PILL00XXX_R_20060011200_03D_30S_GO.rnx"},
       0,
       24},
      // From 00:00:00 to 23:59:30 plus the interval: one day.
      {"a day's window, in one standard-named file",
       threeDays,
       {"--interval", "30", "--marker-name", "PILL", "--rinex-version", "3"},
       {"--standard-name", "--start", "2006-01-02T00:00:00", "--end", "2006-01-03T00:00:00"},
       {"PILL00XXX_R_20060020000_01D_30S_GO.rnx"},
       0,
       0,
       false},
      {"a log named as the second day's file",
       threeDays,
       every30,
       {"--split", "day"},
       {"pill0010.06o"},
       secondsPerDay,
       30,
       false,
       "pill0020.06o"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FolderFiles files{{c.logName, c.log}, {"out/", ""}};
    std::vector<std::string> unsplitArguments = {"-w", "1356", "-o", "all.obs", c.logName};
    unsplitArguments.insert(unsplitArguments.end(), c.common.begin(), c.common.end());
    std::vector<std::string> arguments = unsplitArguments;
    arguments.erase(arguments.begin() + 2, arguments.begin() + 4);
    arguments.insert(arguments.end(), c.naming.begin(), c.naming.end());
    const FolderRun unsplit = kapolexWith(unsplitArguments, files);
    const FolderRun run = kapolexWith(arguments, files);
    const std::string& all = unsplit.files.at("all.obs");
    ASSERT_EQ(run.result.exitStatus, c.status) << run.result.err;
    EXPECT_EQ(run.files.at(c.logName), c.log);
    EXPECT_EQ(run.files.size(), c.names.size() + 1) << "files besides the log and the names";

    std::string bodies, listing;
    std::int64_t previousPeriod = -1;
    for (const std::string& name : c.names) {
      SCOPED_TRACE(name);
      const std::string path = name.starts_with("./") ? name.substr(2) : name;
      ASSERT_EQ(run.files.count(path), 1U);
      const std::string& file = run.files.at(path);
      const ObservationFile read = readClean(file, name);
      expectOwnHeader(file, read, all);
      if (c.period != 0) {
        // The file's epochs lie in one period, a later one than before.
        const std::int64_t period = gpsSecondOf(read.epochs.front().time) / c.period;
        EXPECT_EQ(gpsSecondOf(read.epochs.back().time) / c.period, period);
        EXPECT_GT(period, previousPeriod);
        previousPeriod = period;
      }
      bodies += bodyOf(file);
      listing +=
          " wrote " + nativePath(name) + " (" + std::to_string(read.epochs.size()) + " epochs)\r\n";
    }
    if (c.allLines) {
      EXPECT_EQ(bodies, bodyOf(all));
    } else {
      EXPECT_TRUE(bodies.size() < bodyOf(all).size() && all.find(bodies) != std::string::npos);
    }
    if (c.status == 0) {
      EXPECT_EQ(run.result.out, unsplit.result.out + listing);
      EXPECT_EQ(run.result.err, "");
    } else {
      EXPECT_EQ(run.result.out, "");
      const bool endOfLog = c.status == 24;
      EXPECT_EQ(run.result.err,
                testing::diagnosticLine(
                    c.status, endOfLog ? "end-of-file during read" : "open failure",
                    endOfLog ? 1 : 2, run.folder + platform::pathSeparator + c.logName));
    }
    // RINEX 3 holds the values of RINEX 2, both written by the program.
    const auto version = std::find(unsplitArguments.begin(), unsplitArguments.end(), "3");
    if (c.status == 0 && c.period != 0 && version != unsplitArguments.end()) {
      std::vector<std::string> rinex2Arguments = unsplitArguments;
      rinex2Arguments.erase(rinex2Arguments.begin() + (version - unsplitArguments.begin()) - 1,
                            rinex2Arguments.begin() + (version - unsplitArguments.begin()) + 1);
      const FolderRun rinex2 = kapolexWith(rinex2Arguments, files);
      EXPECT_EQ(rinex2.result.out, unsplit.result.out);
      testing::expectSameObservations(readClean(rinex2.files.at("all.obs"), "RINEX 2"),
                                      readClean(all, "RINEX 3"));
    }
  }
}

// A window keeps the epochs whose receive time, rounded to the second, lies
// in it, chosen among those the decimation keeps.
TEST(TimeWindow, KeepsExactlyTheEpochsInIt) {
  // An hour at 1 Hz from 2006-01-04 11:20:00, and the same with the readings
  // 0.3 ms short of the whole seconds.
  const std::string whole = logOf({"--sow", "300000", "--seed", "3"});
  const std::string early = logOf({"--sow", "299999.9997", "--seed", "3"});
  struct Case {
    const char* name;
    const std::string& log;
    std::string start, end;  // none if empty
    std::size_t written;     // counted by hand
    std::vector<std::string> more = {};
  };
  const std::string none;
  const Case cases[] = {
      {"start on a kept epoch", whole, "2006-01-04T11:30:00", none, 600},
      {"end on a kept epoch, which is left out", whole, none, "2006-01-04 11:30:00", 120},
      {"start between kept epochs, the quality report of the whole log",
       whole,
       "2006-01-04T11:20:03",
       "2006-01-04T11:21:00",
       11,
       {"--qc", "q.txt"}},
      {"before the log", whole, "2006-01-04T11:00:00", "2006-01-04T11:20:00", 0},
      {"after the log", whole, "2006-01-04T12:20:00", none, 0},
      {"around the whole log", whole, "2006-01-01T00:00:00", "2006-01-05T00:00:00", 720},
      {"readings before the second, start", early, "2006-01-04T11:30:00", none, 600},
      {"readings before the second, end", early, none, "2006-01-04T11:30:00", 120},
      {"the decimation's grid stays",
       whole,
       "2006-01-04T11:20:10",
       none,
       119,
       {"--interval", "30"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FolderFiles files{{"z.log", c.log}};
    std::vector<std::string> plainArguments = {"-w", "1356"};
    plainArguments.insert(plainArguments.end(), c.more.begin(), c.more.end());
    std::vector<std::string> arguments = plainArguments;
    if (!c.start.empty()) arguments.insert(arguments.end(), {"--start", c.start});
    if (!c.end.empty()) arguments.insert(arguments.end(), {"--end", c.end});
    const FolderRun plain = kapolexWith(plainArguments, files);
    const FolderRun windowed = kapolexWith(arguments, files);
    ASSERT_EQ(plain.result.exitStatus, 0) << plain.result.err;
    ASSERT_EQ(windowed.result.exitStatus, 0) << windowed.result.err;
    const std::string& all = plain.files.at("z.obs");
    const std::string& file = windowed.files.at("z.obs");
    // A header alone, without END OF HEADER, is no file a reader takes.
    const ObservationFile read = c.written > 0 ? readClean(file, "windowed") : ObservationFile{};
    ASSERT_EQ(read.epochs.size(), c.written);

    // The plain file's epochs in the window, by their rounded seconds, with
    // their lines.
    const auto secondOf = [](const std::string& text) {
      return text.empty() ? std::nullopt : std::optional(gpsSecondOf(timeOfText(text)));
    };
    const std::optional<std::int64_t> start = secondOf(c.start), end = secondOf(c.end);
    const ObservationFile plainRead = readClean(all, "plain");
    const std::vector<std::string> lines = testing::splitCrLfLines(all);
    std::string expectedBody;
    std::size_t inWindow = 0;
    for (std::size_t k = 0; k < plainRead.epochs.size(); ++k) {
      const std::int64_t second = gpsSecondOf(plainRead.epochs[k].time);
      if ((start && second < *start) || (end && second >= *end)) continue;
      ++inWindow;
      const std::size_t next =
          k + 1 < plainRead.epochs.size() ? plainRead.epochs[k + 1].line - 1 : lines.size();
      for (std::size_t i = plainRead.epochs[k].line - 1; i < next; ++i) {
        expectedBody += lines[i] + "\r\n";
      }
    }
    EXPECT_EQ(inWindow, c.written);
    EXPECT_EQ(bodyOf(file), expectedBody);
    const std::vector<std::string> header = headerOf(file);
    std::vector<std::string> plainHeader = headerOf(all);
    if (c.written == 0) {
      // The fixed lines alone, as of a log without a kept epoch.
      EXPECT_EQ(bodyOf(file), "");
      plainHeader.resize(plainHeader.size() - 2);
      EXPECT_EQ(windowed.result.out, plain.result.out + " No epoch in the time window.\r\n");
    } else {
      ASSERT_TRUE(read.header.firstObservation.has_value());
      EXPECT_TRUE(sameTime(*read.header.firstObservation, read.epochs.front().time));
      plainHeader[plainHeader.size() - 2] = header[header.size() - 2];
      EXPECT_EQ(windowed.result.out, plain.result.out);
    }
    plainHeader[1] = header.size() > 1 ? header[1] : "";
    EXPECT_EQ(header, plainHeader);
    if (windowed.files.count("q.txt") != 0) {
      // The quality report covers the whole log.
      const std::string& report = windowed.files.at("q.txt");
      EXPECT_NE(
          report.find("3600 present, 3600 expected, " + std::to_string(c.written) + " written"),
          std::string::npos)
          << report;
    }
  }
}

}  // namespace
}  // namespace kapolex
