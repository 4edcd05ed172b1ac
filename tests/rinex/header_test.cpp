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

std::vector<std::string> fixedHeader(PinnedClock& pinned) {
  return lines(testing::capture(
      [&](OutputSink& obs) { RINHDR(obs, "060120", HeaderFields{}, pinned.clock); }));
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
}

TEST(Header, SecondHalfClosesTheHeader) {
  const std::vector<std::string> tail =
      lines(testing::capture([&](OutputSink& obs) { RINHD2(obs, 2006, 1, 20, 9, 5, 10.0); }));
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[0],
            "  2006    01    20    09    05   10.0000000     GPS         TIME OF FIRST OBS");
  EXPECT_EQ(tail[1], std::string(60, ' ') + "END OF HEADER");
}

}  // namespace
}  // namespace kapolex
