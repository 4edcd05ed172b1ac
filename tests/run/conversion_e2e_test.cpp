// Whole conversions by the real program, compared line by line with
// expectations worked out by hand from the log's bytes.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/log_builder.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::carrierWord;
using testing::ChannelRecord;
using testing::LogBuilder;
using testing::ProgramResult;
using testing::runKapolex;
using testing::splitCrLfLines;

const std::vector<std::string> fixedHeader = {
    "     2.10           OBSERVATION DATA    G (GPS)             RINEX VERSION / TYPE",
    "",  // the run's date and time: checked by pattern
    "XXXX                                                        MARKER NAME",
    "0001                                                        MARKER NUMBER",
    "your name here      <private>                               OBSERVER / AGENCY",
    "nnnnn               QZT KELVANTIS OEM   490-117305-opt08    REC # / TYPE / VERS",
    "AT575-70QZTW        AeroAntenna Tech.                       ANT # / TYPE",
    "  1095790.2358 -4831326.5883  4003934.2615                  APPROX POSITION XYZ",
    "        0.0000        0.0000        0.0000                  ANTENNA: DELTA H/E/N",
    "     2     0                                                WAVELENGTH FACT L1/2",
    "     2    L1    C1                                          # / TYPES OF OBSERV",
    "     5.0000                                                 INTERVAL",
    "Forced Modulo Decimation to 5 seconds                       COMMENT",
    " SNR is mapped to RINEX snr flag value [1-9]                COMMENT",
    "  L1: 0 dBHz = 1; 32 dBHz = 5; 64 dBHz = 9                  COMMENT",
};

void expectFixedHeader(const std::vector<std::string>& lines) {
  ASSERT_GE(lines.size(), fixedHeader.size());
  for (std::size_t i = 0; i < fixedHeader.size(); ++i) {
    if (i == 1) continue;
    EXPECT_EQ(lines[i], fixedHeader[i]) << "header line " << i + 1;
  }
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex("kapolex  060120     your name here      "
                           "[0-9]{4}(0[1-9]|1[0-2])[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]"
                           "ET PGM / RUN BY / DATE")))
      << lines[1];
}

ChannelRecord channel(int prn, int signal, std::int32_t codePhase, std::uint32_t word) {
  return {static_cast<std::uint8_t>(prn - 1), static_cast<std::uint8_t>(signal), codePhase, word,
          0};
}

TEST(Conversion, SmallLogMatchesTheHandWorkedFile) {
  const ChannelRecord first[] = {
      // PRN 5: 1000.5 cycles, no flags, signal 128 -> 5; 100.25 s less 2^20 chips/2048.
      channel(5, 128, 1048576, carrierWord(1000, 512)),
      // PRN 12: the counter's last value, flags set; above 0.9 of the range at
      // the first sight, so one wrap down: -0.0009765625 cycles.
      channel(12, 255, 0, 0xFFFFFFFFu),
  };
  // Dropped (101 s): PRN 12 falls back to 200 cycles, a jump down: the wrap is undone.
  const ChannelRecord dropped[] = {channel(12, 100, 0, carrierWord(200, 0))};
  const ChannelRecord second[] = {channel(12, 16, -1048576, carrierWord(900, 0))};
  LogBuilder log;
  log.raw({0x55, 0x01, 0x02});  // line noise before the first message
  log.measurement(100.25, first).measurement(101.0, dropped).other(8, 3);
  log.measurement(104.75, second, 151);
  // Running backwards: the next week, 2006-01-08.
  log.measurement(0.0, std::span<const ChannelRecord>());

  const ProgramResult result = runKapolex(log.text(), "1356\n");
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            " GPS week =  id=           8   count=           1\r\n"
            " id=          23   count=           3\r\n"
            " id=         151   count=           1\r\n");
  ASSERT_TRUE(result.observations.has_value());
  EXPECT_EQ(result.observations->substr(result.observations->size() - 2), "\r\n");
  const std::vector<std::string> lines = splitCrLfLines(*result.observations);
  expectFixedHeader(lines);
  const std::vector<std::string> body(lines.begin() + 15, lines.end());
  const std::vector<std::string> expected = {
      "  2006    01    01    00    01   40.2500000     GPS         TIME OF FIRST OBS",
      "                                                            END OF HEADER",
      "  6  1  1  0  1 40.2500000  0  2G 5G12",
      "      1000.50045  74798071.745",
      "        -0.00159  74948114.500",
      "  6  1  1  0  1 44.7500000  0  1G12",
      "       900.00042 224994386.255",
      "  6  1  8  0  0  0.0000000  0  0",
  };
  EXPECT_EQ(body, expected);
}

TEST(Conversion, OnlyHighIdMeasurementsStillGetTheRemark) {
  const ChannelRecord one[] = {channel(1, 0, 0, 0)};
  const ProgramResult result = runKapolex(LogBuilder().measurement(5.0, one, 151).text(), "1356\n");
  ASSERT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            " GPS week =  id=         151   count=           1\r\n"
            " No Type 23 messages found.\r\n");
  const auto lines = splitCrLfLines(*result.observations);
  ASSERT_EQ(lines.size(), 15u + 2 + 1 + 1);
  EXPECT_EQ(lines.back(), "         0.00041         0.000");
}

TEST(Conversion, NoKeptEpochLeavesTheFixedHeaderOnly) {
  const ChannelRecord one[] = {channel(3, 50, 7, carrierWord(5, 0))};
  LogBuilder log;
  log.measurement(1.0, one).measurement(2.0, one).measurement(-5.0, one);
  const ProgramResult result = runKapolex(log.text(), "1356\n");
  ASSERT_EQ(result.exitStatus, 0);
  const auto lines = splitCrLfLines(*result.observations);
  EXPECT_EQ(lines.size(), 15u);
  expectFixedHeader(lines);
}

TEST(Conversion, EpochDatingThroughTheWholeProgram) {
  struct Case {
    const char* week;
    double receiveTime;
    const char* epochLine;  // empty: the epoch is not on the 5-second grid
  };
  const Case cases[] = {
      {"1356", 0.0, "  6  1  1  0  0  0.0000000  0  0"},
      {"1356", 4.5, "  6  1  1  0  0  4.5000000  0  0"},
      {"1356", 5.5, ""},
      {"1356", 9.6, "  6  1  1  0  0  9.6000000  0  0"},
      // Just short of the minute: lifted past it, printed as zero seconds.
      {"1356", 59.99999998, "  6  1  1  0  1  0.0000000  0  0"},
      // Not close enough for the lift.
      {"1356", 59.99999995, "  6  1  1  0  0 59.9999999  0  0"},
      // Lifted past the week's end: dated in the next week.
      {"1356", 604799.99999998, "  6  1  8  0  0  0.0000000  0  0"},
      {"1356", 432015.0, "  6  1  6  0  0 15.0000000  0  0"},
      {"1042", 518400.0, "  0  1  1  0  0  0.0000000  0  0"},
      {"1564", 432000.0, " 10  1  1  0  0  0.0000000  0  0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.receiveTime);
    const ProgramResult result =
        runKapolex(LogBuilder().measurement(c.receiveTime, {}).text(), std::string(c.week) + "\n");
    ASSERT_EQ(result.exitStatus, 0);
    const auto lines = splitCrLfLines(*result.observations);
    if (*c.epochLine == '\0') {
      EXPECT_EQ(lines.size(), 15u);
      continue;
    }
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[17], c.epochLine);
  }
}

// The lines a run writes before it stops are all kept: the stopped run's
// z.obs equals the full run of the log cut right before the failing message,
// apart from the run date of line 2.
void expectSameApartFromRunDate(const std::string& stopped, const std::string& reference) {
  auto a = splitCrLfLines(stopped);
  auto b = splitCrLfLines(reference);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GE(a.size(), 2u);
  a[1] = b[1] = "";
  EXPECT_EQ(a, b);
  EXPECT_EQ(stopped.substr(stopped.size() - 2), "\r\n");
}

TEST(Conversion, StopsKeepEveryLineWrittenBefore) {
  const ChannelRecord good[] = {channel(7, 90, 1000, carrierWord(12345, 7))};
  LogBuilder before;
  for (int second = 0; second <= 20; ++second) before.measurement(second, good);
  const ProgramResult reference = runKapolex(before.text(), "1356\n");
  ASSERT_EQ(reference.exitStatus, 0);

  // A PRN outside 1 to 32, after an accepted channel of the same message.
  const ChannelRecord badPrn[] = {channel(7, 90, 1000, carrierWord(12346, 0)), {0x20, 90, 0, 0, 0}};
  LogBuilder prnStop = before;
  prnStop.measurement(25.0, badPrn).measurement(30.0, good);
  const ProgramResult prn = runKapolex(prnStop.text(), "1356\n");
  EXPECT_EQ(prn.exitStatus, 98463 & 0xFF);
  EXPECT_EQ(prn.err, "98463\n");
  EXPECT_EQ(prn.out, " GPS week = ") << "no summary after a stop";
  expectSameApartFromRunDate(*prn.observations, *reference.observations);

  // The log ends inside a measurement body: after the head, and inside a channel.
  for (std::size_t cut : {std::size_t{5}, std::size_t{15}, std::size_t{20}}) {
    LogBuilder truncated = before;
    truncated.measurement(25.0, good);
    std::string bytes = truncated.text();
    bytes.resize(before.size() + 4 + cut);
    testing::ScratchFolder folder;
    folder.write("z.log", bytes);
    const ProgramResult eof = testing::runIn(folder, KAPOLEX_BINARY, {}, "1356\n");
    EXPECT_EQ(eof.exitStatus, 24) << cut;
    EXPECT_EQ(eof.err, testing::diagnosticLine(24, "end-of-file during read", 1,
                                               (folder.path() / "z.log").string()));
    EXPECT_EQ(eof.out, " GPS week = ");
    expectSameApartFromRunDate(*eof.observations, *reference.observations);
  }
}

TEST(Conversion, NegativeTimeDropsTheMessageAndTheWalkResynchronises) {
  // The negative-time message is read for 11 bytes only; its channel records
  // are then slid over by the header search, and the next message converts.
  const ChannelRecord trap[] = {channel(9, 1, 0, 0), channel(9, 1, 0, 0)};
  const ChannelRecord good[] = {channel(2, 200, 0, carrierWord(42, 0))};
  LogBuilder log;
  log.measurement(-0.5, trap).measurement(10.0, good);
  const ProgramResult result = runKapolex(log.text(), "1356\n");
  ASSERT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, " GPS week =  id=          23   count=           2\r\n");
  const auto lines = splitCrLfLines(*result.observations);
  ASSERT_EQ(lines.size(), 15u + 2 + 2);
  EXPECT_EQ(lines[17], "  6  1  1  0  0 10.0000000  0  1G 2");
  EXPECT_EQ(lines[18], "        42.00047         0.000");
}

}  // namespace
}  // namespace kapolex
