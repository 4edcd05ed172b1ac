// The fixed texts of the observation file header, all in one place. Each
// content text is the header line's columns 1 to 60 exactly as written, so
// it can be read against the ruler and the RINEX 2.10 header descriptions.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kapolex {

struct HeaderLine {
  std::string_view content;  // columns 1 to 60
  std::string_view label;    // from column 61, nothing after it
};

inline constexpr std::size_t headerContentWidth = 60;

// Lines 1 and 3 to 15; the run-date line goes between the first and the rest.
// clang-format off
inline constexpr std::array<HeaderLine, 14> fixedHeaderLines{{
//             1         2         3         4         5         6
//    123456789012345678901234567890123456789012345678901234567890
    {"     2.10           OBSERVATION DATA    G (GPS)             ", "RINEX VERSION / TYPE"},
    {"XXXX                                                        ", "MARKER NAME"},
    {"0001                                                        ", "MARKER NUMBER"},
    {"your name here      <private>                               ", "OBSERVER / AGENCY"},
    {"nnnnn               QZT KELVANTIS OEM   490-117305-opt08    ", "REC # / TYPE / VERS"},
    {"AT575-70QZTW        AeroAntenna Tech.                       ", "ANT # / TYPE"},
    {"  1095790.2358 -4831326.5883  4003934.2615                  ", "APPROX POSITION XYZ"},
    {"        0.0000        0.0000        0.0000                  ", "ANTENNA: DELTA H/E/N"},
    {"     2     0                                                ", "WAVELENGTH FACT L1/2"},
    {"     2    L1    C1                                          ", "# / TYPES OF OBSERV"},
    {"     5.0000                                                 ", "INTERVAL"},
    {"Forced Modulo Decimation to 5 seconds                       ", "COMMENT"},
    {" SNR is mapped to RINEX snr flag value [1-9]                ", "COMMENT"},
    {"  L1: 0 dBHz = 1; 32 dBHz = 5; 64 dBHz = 9                  ", "COMMENT"},
}};
// clang-format on

// PGM / RUN BY / DATE: the program field (columns 1-20) is the name and the
// version; the date field (41-60) ends in "ET " whatever the time zone.
inline constexpr std::string_view programName = "kapolex  ";            // 1-9
inline constexpr std::string_view runBy = "     your name here      ";  // 16-40
inline constexpr std::string_view timeSeparator = ":";                  // 52, 55
inline constexpr std::string_view runDateEnd = "ET ";                   // 58-60
inline constexpr std::string_view runDateLabel = "PGM / RUN BY / DATE";

// TIME OF FIRST OBS: the time system, after the date and time fields.
inline constexpr std::string_view timeSystem = "     GPS         ";  // 44-60
inline constexpr std::string_view firstObservationLabel = "TIME OF FIRST OBS";

inline constexpr std::string_view endOfHeaderContent =
    "                                                            ";
inline constexpr std::string_view endOfHeaderLabel = "END OF HEADER";

constexpr bool contentsAreFullWidth() {
  for (const HeaderLine& line : fixedHeaderLines) {
    if (line.content.size() != headerContentWidth) return false;
  }
  return endOfHeaderContent.size() == headerContentWidth && programName.size() == 9 &&
         runBy.size() == 25 && runDateEnd.size() == 3 && timeSystem.size() == 17;
}
static_assert(contentsAreFullWidth(), "a header content text is not as wide as its columns");

}  // namespace kapolex
