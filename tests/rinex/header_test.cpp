#include "rinex/header.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

// The lines of a header; each must end with CR LF and hold no other CR or LF.
std::vector<std::string> lines(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\r\n"));
  const std::vector<std::string> result = testing::splitCrLfLines(text);
  for (const std::string& line : result) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  }
  return result;
}

struct PinnedClock {
  LocalDate date;
  LocalTimeOfDay time;
  std::string readings;
  LocalClock clock{[this] {
                     readings += 'D';
                     return date;
                   },
                   [this] {
                     readings += 'T';
                     return time;
                   }};
};

std::vector<std::string> fixedHeader(PinnedClock& pinned, const HeaderFields& fields = {}) {
  return lines(testing::capture(
      [&](OutputSink& obs) { writeHeaderStart(obs, "060120", fields, pinned.clock); }));
}

HeaderFields rinex3Fields(bool withSnr) {
  HeaderFields fields;
  fields.rinexVersion = RinexVersion::v3_04;
  fields.withSnr = withSnr;
  return fields;
}

// The labels of header lines, in order.
std::vector<std::string> labelsOf(const std::vector<std::string>& header) {
  std::vector<std::string> labels;
  for (const std::string& line : header) labels.push_back(line.substr(60));
  return labels;
}

TEST(Header, FixedLinesCarryTheirTextsInTheirColumns) {
  PinnedClock pinned{{2006, 1, 20}, {9, 5, 7}, {}};
  const std::vector<std::string> header = fixedHeader(pinned);
  EXPECT_EQ(pinned.readings, "DT");
  ASSERT_EQ(header.size(), 15u);

  struct Piece {
    const char* text;
    std::size_t column;
  };
  struct Line {
    std::vector<Piece> pieces;
    const char* label;
    std::size_t length;
  };
  const Line expected[15] = {
      {{{"2.10", 6}, {"OBSERVATION DATA", 21}, {"G (GPS)", 41}}, "RINEX VERSION / TYPE", 80},
      {{}, "PGM / RUN BY / DATE", 79},
      {{{"XXXX", 1}}, "MARKER NAME", 71},
      {{{"0001", 1}}, "MARKER NUMBER", 73},
      {{{"your name here", 1}, {"<private>", 21}}, "OBSERVER / AGENCY", 77},
      {{{"nnnnn", 1}, {"QZT KELVANTIS OEM", 21}, {"490-117305-opt08", 41}},
       "REC # / TYPE / VERS",
       79},
      {{{"AT575-70QZTW", 1}, {"AeroAntenna Tech.", 21}}, "ANT # / TYPE", 72},
      {{{"1095790.2358", 3}, {"-4831326.5883", 16}, {"4003934.2615", 31}},
       "APPROX POSITION XYZ",
       79},
      {{{"0.0000", 9}, {"0.0000", 23}, {"0.0000", 37}}, "ANTENNA: DELTA H/E/N", 80},
      {{{"2", 6}, {"0", 12}}, "WAVELENGTH FACT L1/2", 80},
      {{{"2", 6}, {"L1", 11}, {"C1", 17}}, "# / TYPES OF OBSERV", 79},
      {{{"5.0000", 6}}, "INTERVAL", 68},
      {{{"Forced Modulo Decimation to 5 seconds", 1}}, "COMMENT", 67},
      {{{"SNR is mapped to RINEX snr flag value [1-9]", 2}}, "COMMENT", 67},
      {{{"L1: 0 dBHz = 1; 32 dBHz = 5; 64 dBHz = 9", 3}}, "COMMENT", 67},
  };
  for (std::size_t n = 0; n < 15; ++n) {
    const std::string& line = header[n];
    const Line& want = expected[n];
    SCOPED_TRACE("header line " + std::to_string(n + 1));
    EXPECT_EQ(line.size(), want.length);
    EXPECT_EQ(line.substr(60), want.label);
    if (n == 1) continue;
    std::string content(60, ' ');
    for (const Piece& piece : want.pieces) {
      content.replace(piece.column - 1, std::string(piece.text).size(), piece.text);
    }
    EXPECT_EQ(line.substr(0, 60), content);
  }
  EXPECT_EQ(header[1],
            "kapolex  060120     your name here      20060120 09:05:07ET PGM / RUN BY / DATE");
}

TEST(Header, RunTimeIsZeroFilled) {
  PinnedClock pinned{{2006, 1, 1}, {0, 0, 0}, {}};
  const std::vector<std::string> header = fixedHeader(pinned);
  ASSERT_EQ(header.size(), 15u);
  EXPECT_EQ(header[1].substr(40, 20), "20060101 00:00:00ET ");
  EXPECT_EQ(fixedHeader(pinned, rinex3Fields(false))[1].substr(40, 20), "20060101 000000 LCL ");
}

TEST(Header, Rinex3FixedLinesCarryTheirTextsInTheirColumns) {
  for (const bool withSnr : {false, true}) {
    SCOPED_TRACE(withSnr ? "with S1C" : "without S1C");
    PinnedClock pinned{{2006, 1, 20}, {9, 5, 7}, {}};
    const std::vector<std::string> header = fixedHeader(pinned, rinex3Fields(withSnr));
    EXPECT_EQ(pinned.readings, "DT");
    std::vector<std::string> labels = {"RINEX VERSION / TYPE",
                                       "PGM / RUN BY / DATE",
                                       "MARKER NAME",
                                       "MARKER NUMBER",
                                       "OBSERVER / AGENCY",
                                       "REC # / TYPE / VERS",
                                       "ANT # / TYPE",
                                       "APPROX POSITION XYZ",
                                       "ANTENNA: DELTA H/E/N",
                                       "SYS / # / OBS TYPES",
                                       "INTERVAL",
                                       "COMMENT",
                                       "COMMENT",
                                       "COMMENT"};
    if (withSnr) labels.insert(labels.begin() + 10, "SIGNAL STRENGTH UNIT");
    ASSERT_EQ(labelsOf(header), labels);
    // F9.2,11X,A1,19X,A1,19X; the run's date as yyyymmdd hhmmss zone.
    EXPECT_EQ(header[0].substr(0, 60), "     3.04" + std::string(11, ' ') + "OBSERVATION DATA" +
                                           std::string(4, ' ') + "G" + std::string(19, ' '));
    EXPECT_EQ(header[1],
              "kapolex  060120     your name here      20060120 090507 LCL PGM / RUN BY / DATE");
    // A1,2X,I3,13(1X,A3).
    EXPECT_EQ(header[9].substr(0, 60),
              std::string(withSnr ? "G    3 C1C L1C S1C" : "G    2 C1C L1C")
                  .append(60, ' ')
                  .substr(0, 60));
    if (withSnr) {
      EXPECT_EQ(header[10].substr(0, 60), "DBHZ" + std::string(56, ' '));
    }
    // F10.3.
    EXPECT_EQ(header[withSnr ? 11 : 10].substr(0, 60), "     5.000" + std::string(50, ' '));
  }
}

TEST(Header, Rinex3StationAndCommentLinesAreThoseOfRinex2) {
  HeaderFields fields;
  fields.markerName = "PIL7 BY THE RIVER";
  fields.markerNumber = "12345M001";
  fields.observer = "A. Observer";
  fields.agency = "Some Survey Office";
  fields.runBy = "Run by";
  fields.receiverNumber = "R-77";
  fields.antennaNumber = "A-12";
  fields.antennaType = "Choke ring";
  fields.position = Coordinates{-1234567.8912, 5000000.0, -0.00005};
  fields.antennaDelta = Coordinates{1.5, -0.25, 0.0};
  fields.intervalSeconds = 1;
  PinnedClock pinned{{2006, 1, 20}, {9, 5, 7}, {}};
  const std::vector<std::string> rinex2 = fixedHeader(pinned, fields);
  fields.rinexVersion = RinexVersion::v3_04;
  const std::vector<std::string> rinex3 = fixedHeader(pinned, fields);
  ASSERT_EQ(rinex2.size(), 15u);
  ASSERT_EQ(rinex3.size(), 14u);
  EXPECT_EQ(rinex3[1].substr(0, 40), rinex2[1].substr(0, 40));
  for (std::size_t n = 2; n < 9; ++n) EXPECT_EQ(rinex3[n], rinex2[n]);
  for (std::size_t n = 1; n <= 3; ++n) EXPECT_EQ(rinex3[14 - n], rinex2[15 - n]);
  EXPECT_EQ(rinex3[10].substr(0, 10), "     1.000");
}

TEST(Header, SecondHalfClosesTheHeader) {
  const std::string first =
      "  2006    01    20    09    05   10.0000000     GPS         TIME OF FIRST OBS";
  const std::string last =
      "  2006    01    20    09    05   10.0000000     GPS         TIME OF LAST OBS";
  const std::string phaseShift = "G L1C  0.00000" + std::string(46, ' ') + "SYS / PHASE SHIFT";
  const std::string end = std::string(60, ' ') + "END OF HEADER";
  struct Case {
    RinexVersion version;
    bool withLastObservation;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {RinexVersion::v2_10, false, {first, end}},
      {RinexVersion::v2_10, true, {first, last, end}},
      {RinexVersion::v3_04, false, {first, phaseShift, end}},
      {RinexVersion::v3_04, true, {first, last, phaseShift, end}},
  };
  for (const Case& c : cases) {
    std::optional<std::uint64_t> offset;
    const std::string text = testing::capture([&](OutputSink& obs) {
      obs.write("before");
      offset = writeHeaderEnd(obs, {2006, 1, 20, 9, 5, 10.0}, c.version, c.withLastObservation);
    });
    EXPECT_EQ(lines(text.substr(6)), c.expected);
    EXPECT_EQ(offset.has_value(), c.withLastObservation);
    if (offset) {
      EXPECT_EQ(text.substr(*offset, last.size() + 2), last + "\r\n");
    }
  }
}

TEST(Header, LastObservationLineIsAsLongAsItsPlaceholder) {
  const std::string line = testing::capture([](OutputSink& obs) {
    writeLastObservationTime(obs, {2010, 12, 31, 23, 59, 59.9999999});
  });
  EXPECT_EQ(line,
            "  2010    12    31    23    59   59.9999999     GPS         TIME OF LAST OBS\r\n");
}

}  // namespace
}  // namespace kapolex
