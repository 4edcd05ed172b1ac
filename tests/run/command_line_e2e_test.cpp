// The command line of the real program: usage errors that leave the disk as
// it was, and options whose output is worked out by hand from the log bytes
// or is the plain run's, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/log_builder.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::carrierWord;
using testing::ChannelRecord;
using testing::FolderRun;
using testing::LogBuilder;
using testing::ProgramResult;
using testing::ScratchFolder;
using testing::splitCrLfLines;
using Files = testing::FolderFiles;

FolderRun runWith(const std::vector<std::string>& arguments, const Files& files,
                  const std::optional<std::string>& standardInput = std::nullopt) {
  return testing::runWithFiles(KAPOLEX_BINARY, arguments, files, standardInput);
}

const std::string& sampleLog() {
  static const std::string log = [] {
    ScratchFolder folder;
    const std::filesystem::path sample =
        std::filesystem::path(KAPOLEX_SOURCE_DIR) / "examples" / "z.log";
    std::filesystem::copy_file(sample, folder.path() / "z.log");
    return folder.read("z.log").value();
  }();
  return log;
}

// The lines of an observation file but its run date (line 2).
std::vector<std::string> withoutRunDate(const std::string& observations) {
  std::vector<std::string> lines = splitCrLfLines(observations);
  if (lines.size() > 1) lines[1].clear();
  return lines;
}

TEST(CommandLineRuns, UsageErrorsSayWhatIsWrongAndTouchNothing) {
  const Files before{{"z.log", sampleLog()}, {"z.obs", "old\r\n"}, {"site.log", "x"}};
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string tooLong(61, 'a');
  const Case cases[] = {
      {{"--bogus"}, "unknown or ambiguous option '--bogus'"},
      {{"--a=1"}, "unknown or ambiguous option '--a'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-w"}, "option '-w' requires a value"},
      {{"--week"}, "option '--week' requires a value"},
      {{"site.log", "-w"}, "option '-w' requires a value"},
      {{"-qw"}, "option '-qw' requires a value"},
      {{"--snr=yes"}, "option '--snr' takes no value"},
      {{"-w", "0"}, "invalid week '0' for '--week': give a whole number of at least 1"},
      {{"-w", "1e3"}, "invalid week '1e3' for '--week': give a whole number of at least 1"},
      {{"-w", "2147483648"},
       "invalid week '2147483648' for '--week': give a whole number of at least 1"},
      {{"-w", "1356", "--date", "2006-01-01"}, "options '--week' and '--date' exclude each other"},
      {{"--date", "2006-02-29"},
       "invalid date '2006-02-29' for '--date': give YYYY-MM-DD, from 1980-01-06 on"},
      {{"--date", "1980-01-05"},
       "invalid date '1980-01-05' for '--date': give YYYY-MM-DD, from 1980-01-06 on"},
      {{"--interval", "0"},
       "invalid interval '0' for '--interval': give whole seconds from 1 to 3600"},
      {{"--interval", "3601"},
       "invalid interval '3601' for '--interval': give whole seconds from 1 to 3600"},
      {{"--marker-name", tooLong},
       "'--marker-name' takes at most 60 characters; '" + tooLong + "' has 61"},
      {{"--run-by", "twenty-one characters"},
       "'--run-by' takes at most 20 characters; 'twenty-one characters' has 21"},
      {{"--agency", "Caf\xc3\xa9"}, "'--agency' takes printable ASCII characters only"},
      {{"--observer", "tab\there"}, "'--observer' takes printable ASCII characters only"},
      {{"--position", "1,2"},
       "invalid value '1,2' for '--position': give three numbers in metres, separated by commas"},
      {{"--antenna-delta", "0x1,0,0"},
       "invalid value '0x1,0,0' for '--antenna-delta': give three numbers in metres, separated "
       "by commas"},
      {{"--position", "1e9,0,0"},
       "value '1e9,0,0' for '--position' does not fit the header's columns (F14.4)"},
      {{"--position", "nan,0,0"},
       "invalid value 'nan,0,0' for '--position': give three numbers in metres, separated by "
       "commas"},
      {{"-"}, "a log read from standard input needs '--week' or '--date'"},
      {{"-o", "-"}, "an output on standard output needs '--week' or '--date'"},
      {{"--no-obs", "--plot", "-"}, "an output on standard output needs '--week' or '--date'"},
      {{"-w", "1", "--qc"}, "option '--qc' requires a value"},
      {{"-w", "1", "--no-obs", "-o", "x.obs"},
       "options '--no-obs' and '--output' exclude each other"},
      {{"-w", "1", "-", "--qc-json", "-"},
       "the observation file and '--qc-json' cannot both go to standard output"},
      {{"-w", "1", "--qc", "-", "--plot", "-"},
       "'--qc' and '--plot' cannot both go to standard output"},
      {{"-w", "1", "--qc", "z.log"}, "the quality report 'z.log' is the log too; name another"},
      {{"-w", "1", "--qc", "q", "--plot", "./q"},
       "the tracking plot './q' is the quality report too; name another"},
      {{"-o", ""}, "option '--output' needs a file name"},
      {{"z.log", "site.log"}, "more than one log given: 'site.log'"},
      {{"-w", "1356", "-o", "z.log"}, "the observation file 'z.log' is the log too; name another"},
      {{"-w", "1356", "-o", ".//./z.log"},
       "the observation file './/./z.log' is the log too; name another"},
      {{"--rinex-version", "2.10"},
       "invalid RINEX version '2.10' for '--rinex-version': give 2 or 3"},
      {{"--start", "2006-01-18T11:20:00.5"},
       "invalid time '2006-01-18T11:20:00.5' for '--start': give YYYY-MM-DDTHH:MM:SS in GPS "
       "time, whole seconds, from 1980-01-06 on"},
      {{"--end", "2006-01-18"},
       "invalid time '2006-01-18' for '--end': give YYYY-MM-DDTHH:MM:SS in GPS time, whole "
       "seconds, from 1980-01-06 on"},
      {{"--start", "2006-01-18T11:20:00", "--end", "2006-01-18 11:20:00"},
       "'--end' must be after '--start'"},
      {{"--split", "week"}, "invalid period 'week' for '--split': give day or hour"},
      {{"-w", "1", "--split", "day", "-o", "-"},
       "options '--split' and '--output -' exclude each other"},
      {{"-w", "1", "--standard-name", "-", "-o", "-"},
       "options '--standard-name' and '--output -' exclude each other"},
      {{"--split", "hour", "--station", "ab/c"},
       "invalid station 'ab/c' for '--station': give 4 letters or digits (9 characters need "
       "'--rinex-version 3')"},
      {{"--standard-name", "--station", "PIL700DEU"},
       "invalid station 'PIL700DEU' for '--station': give 4 letters or digits (9 characters need "
       "'--rinex-version 3')"},
      {{"--split", "day", "--rinex-version", "3", "--station", "PIL7000EU"},
       "invalid station 'PIL7000EU' for '--station': give 4 letters or digits, or 9 characters: "
       "4 letters or digits, 2 digits and 3 letters"},
      {{"--station", "PIL7"}, "option '--station' needs '--split' or '--standard-name'"},
      {{"-w", "1", "--idle-exit", "5"}, "option '--idle-exit' needs '--follow'"},
      {{"-w", "1", "--finish-after", "5", "--split", "day"},
       "option '--finish-after' needs '--follow'"},
      {{"--follow", "--idle-exit", "0"},
       "invalid seconds '0' for '--idle-exit': give whole seconds from 1 to 86400"},
      {{"--follow", "--finish-after", "86401"},
       "invalid seconds '86401' for '--finish-after': give whole seconds from 1 to 86400"},
      {{"--no-obs", "--split", "day"}, "options '--no-obs' and '--split' exclude each other"},
      {{"--no-obs", "--standard-name"},
       "options '--no-obs' and '--standard-name' exclude each other"},
      {{"--no-obs", "--end", "2006-01-18T11:20:00"},
       "options '--no-obs' and '--end' exclude each other"},
      {{"--no-obs", "--station", "PIL7"}, "options '--no-obs' and '--station' exclude each other"},
      {{"-w", "1", "--standard-name", "site.log", "--qc", "site.log.part"},
       "the quality report 'site.log.part' is where the observation file is written until it "
       "takes its name; name another"},
  };
  for (const Case& c : cases) {
    const FolderRun run = runWith(c.arguments, before);
    SCOPED_TRACE(c.arguments.front());
    EXPECT_EQ(run.result.exitStatus, 2);
    EXPECT_EQ(run.result.err, "kapolex: " + c.message + "\nTry 'kapolex --help'.\n");
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.files, before);
  }
}

TEST(CommandLineRuns, HelpAndVersion) {
  const FolderRun help = runWith({"--snr", "--help", "two", "logs"}, {});
  EXPECT_EQ(help.result.exitStatus, 0);
  EXPECT_TRUE(help.result.out.starts_with("Usage: kapolex [OPTIONS] [LOG]\n")) << help.result.out;
  for (const char* option : {"--output", "--week", "--date", "--interval", "--marker-name",
                             "--position", "--antenna-delta", "--snr", "--quiet", "--version"}) {
    EXPECT_NE(help.result.out.find(option), std::string::npos) << option;
  }
  const FolderRun version = runWith({"--version"}, {});
  EXPECT_EQ(version.result.exitStatus, 0);
  EXPECT_TRUE(version.result.out.starts_with("kapolex 060120\nbuild ")) << version.result.out;
  EXPECT_TRUE(help.files.empty() && version.files.empty());
}

// Every way of giving the week and the files writes the plain run's file.
TEST(CommandLineRuns, WeekOptionsAndStreamsWriteThePlainRunsFile) {
  const FolderRun plain = runWith({}, {{"z.log", sampleLog()}}, "1356\n");
  ASSERT_EQ(plain.result.exitStatus, 0) << plain.result.err;
  const std::vector<std::string> expected = withoutRunDate(plain.files.at("z.obs"));
  const std::string summary = plain.result.out.substr(std::string(" GPS week = ").size());
  struct Case {
    std::vector<std::string> arguments;
    std::optional<std::string> standardInput;
    std::string file;  // the observation file's name, or "" for standard output
    std::string out, err;
  };
  const Case cases[] = {
      {{"-w", "1356"}, std::nullopt, "z.obs", summary, ""},
      {{"--week=1356", "site.log"}, std::nullopt, "site.obs", summary, ""},
      {{"site.log", "--date", "2006-01-07", "-o", "out.rnx"}, std::nullopt, "out.rnx", summary, ""},
      {{"-q", "-w", "1356", "site.log"}, std::nullopt, "site.obs", "", ""},
      {{"-w", "1356", "-"}, sampleLog(), "", "", summary},
      {{"-w", "1356", "-q", "-o", "-", "site.log"}, std::nullopt, "", "", ""},
      {{"site.log"}, "1356\n", "site.obs", " GPS week = " + summary, ""},
  };
  const Files logs{{"z.log", sampleLog()}, {"site.log", sampleLog()}};
  for (const Case& c : cases) {
    const FolderRun run = runWith(c.arguments, logs, c.standardInput);
    SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
    ASSERT_EQ(run.result.exitStatus, 0) << run.result.err;
    if (c.file.empty()) {
      EXPECT_EQ(withoutRunDate(run.result.out), expected);
      EXPECT_EQ(run.result.err, c.err);
      EXPECT_EQ(run.files, logs);
    } else {
      ASSERT_EQ(run.files.count(c.file), 1u);
      EXPECT_EQ(withoutRunDate(run.files.at(c.file)), expected);
      EXPECT_EQ(run.result.out, c.out);
      EXPECT_EQ(run.result.err, c.err);
    }
  }
}

// The quality reports: into files beside the observation file or instead of
// it, or one of them on standard output with the summary on standard error.
TEST(CommandLineRuns, QualityReportsGoWhereTheyAreAsked) {
  const Files logs{{"site.log", sampleLog()}};
  const FolderRun all = runWith(
      {"-q", "-w", "1356", "--qc", "q.txt", "--qc-json", "q.json", "--plot", "p.svg", "site.log"},
      logs);
  ASSERT_EQ(all.result.exitStatus, 0) << all.result.err;
  EXPECT_EQ(all.result.out + all.result.err, "");
  ASSERT_EQ(all.files.size(), 5u);
  const std::string& text = all.files.at("q.txt");
  EXPECT_NE(text.find("300 present, 300 expected, 60 written"), std::string::npos) << text;
  EXPECT_NE(all.files.at("q.json").find("\"epochs_written\": 60"), std::string::npos);
  EXPECT_TRUE(all.files.at("p.svg").starts_with("<?xml")) << all.files.at("p.svg").substr(0, 40);

  const FolderRun alone = runWith({"-w", "1356", "--no-obs", "--qc", "-", "site.log"}, logs);
  ASSERT_EQ(alone.result.exitStatus, 0) << alone.result.err;
  EXPECT_EQ(alone.files, logs);
  EXPECT_NE(alone.result.out.find("300 present, 300 expected, 0 written"), std::string::npos)
      << alone.result.out;
  EXPECT_TRUE(alone.result.err.starts_with(" id=")) << alone.result.err;
  // The same figures whatever else the run writes.
  EXPECT_EQ(alone.result.out.substr(alone.result.out.find("Satellites")),
            text.substr(text.find("Satellites")));
}

TEST(CommandLineRuns, DiagnosticsNameTheFilesInUse) {
  const std::string cut = sampleLog().substr(0, 200);  // ends inside a measurement body
  struct Case {
    std::vector<std::string> arguments;
    std::optional<std::string> standardInput;
    int number;
    std::string text;
    int unit;
    std::string file;  // from the run's folder, or a console name
  };
  const Case cases[] = {
      {{"-w", "1356", "missing.log"}, std::nullopt, 29, "file not found", 1, "/missing.log"},
      {{"-w", "1356", ".//cut.log"}, std::nullopt, 24, "end-of-file during read", 1, "/cut.log"},
      {{"-w", "1356", "logs/../cut.log"},
       std::nullopt,
       29,
       "file not found",
       1,
       "/logs/../cut.log"},
      {{"-w", "1356", "cut.log", "-o", "no/such/x.obs"},
       std::nullopt,
       29,
       "file not found",
       2,
       "/no/such/x.obs"},
      {{"-w", "1356", "-", "-o", "out.obs"}, cut, 24, "end-of-file during read", 1, "CONIN$"},
      {{"-w", "1356", "cut.log", "--qc", "no/q.txt"},
       std::nullopt,
       29,
       "file not found",
       3,
       "/no/q.txt"},
      {{"-w", "1356", "cut.log", "--plot", "."}, std::nullopt, 30, "open failure", 5, "."},
  };
  for (const Case& c : cases) {
    const FolderRun run = runWith(c.arguments, {{"cut.log", cut}}, c.standardInput);
    // Written with the system's separator, as the program writes it.
    const std::string file =
        c.file == "." ? run.folder
        : c.file.starts_with('/')
            ? (std::filesystem::path(run.folder) / c.file.substr(1)).make_preferred().string()
            : c.file;
    EXPECT_EQ(run.result.err, testing::diagnosticLine(c.number, c.text, c.unit, file));
    EXPECT_EQ(run.result.exitStatus, c.number);
  }
}

ChannelRecord channel(int prn, int signal, std::int32_t codePhase, std::uint32_t word) {
  return {static_cast<std::uint8_t>(prn - 1), static_cast<std::uint8_t>(signal), codePhase, word,
          0};
}

// S1, the interval and the header fields, worked out by hand.
TEST(CommandLineRuns, HeaderFieldsIntervalAndSnrAsWorkedOutByHand) {
  LogBuilder log;
  // One epoch a second, PRN 3 alone; signal bytes count quarter dB-Hz.
  const ChannelRecord at100[] = {channel(3, 181, 0, carrierWord(1000, 0))};
  const ChannelRecord at101[] = {channel(3, 20, 0, carrierWord(1500, 0))};
  const ChannelRecord at102[] = {channel(3, 255, 0, carrierWord(2000, 512, 2))};
  log.measurement(100.0, at100).measurement(101.0, at101).measurement(102.0, at102);
  const FolderRun run = runWith({"-q",
                                 "-w",
                                 "1356",
                                 "--interval",
                                 "2",
                                 "--snr",
                                 "--marker-name",
                                 "PILLAR 7",
                                 "--marker-number",
                                 "4711",
                                 "--observer",
                                 "A. Surveyor",
                                 "--agency",
                                 "Field Office",
                                 "--run-by",
                                 "batch",
                                 "--receiver-number",
                                 "R-1",
                                 "--antenna-number",
                                 "A-2",
                                 "--antenna-type",
                                 "PATCH L1",
                                 "--position",
                                 "-1.5,2e3,.25",
                                 "--antenna-delta",
                                 "1.23456,0,-0.00004",
                                 "site.log"},
                                {{"site.log", log.text()}});
  ASSERT_EQ(run.result.exitStatus, 0) << run.result.err;
  const std::vector<std::string> lines = splitCrLfLines(run.files.at("site.obs"));
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[1].substr(0, 40), "kapolex  060120     batch               ");
  const std::vector<std::string> expected = {
      "PILLAR 7                                                    MARKER NAME",
      "4711                                                        MARKER NUMBER",
      "A. Surveyor         Field Office                            OBSERVER / AGENCY",
      "R-1                 QZT KELVANTIS OEM   490-117305-opt08    REC # / TYPE / VERS",
      "A-2                 PATCH L1                                ANT # / TYPE",
      "       -1.5000     2000.0000        0.2500                  APPROX POSITION XYZ",
      "        1.2346        0.0000        0.0000                  ANTENNA: DELTA H/E/N",
      "     2     0                                                WAVELENGTH FACT L1/2",
      "     3    L1    C1    S1                                    # / TYPES OF OBSERV",
      "     2.0000                                                 INTERVAL",
      "Forced Modulo Decimation to 2 seconds                       COMMENT",
      " SNR is mapped to RINEX snr flag value [1-9]                COMMENT",
      "  L1: 0 dBHz = 1; 32 dBHz = 5; 64 dBHz = 9                  COMMENT",
      "  2006    01    01    00    01   40.0000000     GPS         TIME OF FIRST OBS",
      std::string(60, ' ') + "END OF HEADER",
      // 100 s into week 1356: 2006-01-01 00:01:40. Signal 181: digit 7,
      // 45.25 dB-Hz; the code phase 0 at a whole second: 0 m.
      "  6  1  1  0  1 40.0000000  0  1G 3",
      "      1000.00047         0.000          45.250",
      // 101 s is off the 2-second grid. At 102 s: flags set, digit 9, 63.75 dB-Hz.
      "  6  1  1  0  1 42.0000000  0  1G 3",
      "      2000.50059         0.000          63.750",
  };
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i + 2], expected[i]) << i;

  // One second: every epoch, and the comment in the singular.
  const FolderRun everySecond =
      runWith({"-q", "-w", "1356", "--interval=1"}, {{"z.log", log.text()}});
  const std::vector<std::string> all = splitCrLfLines(everySecond.files.at("z.obs"));
  ASSERT_EQ(all.size(), 17u + 3 * 2);
  EXPECT_EQ(all[11], "     1.0000                                                 INTERVAL");
  EXPECT_EQ(all[12], "Forced Modulo Decimation to 1 second                        COMMENT");
  EXPECT_EQ(all[19], "  6  1  1  0  1 41.0000000  0  1G 3");
  EXPECT_EQ(all[20], "      1500.00042         0.000");
}

}  // namespace
}  // namespace kapolex
