// The texts of the observation file header, all in one place: the fixed
// ones, the defaults of the fields a run may set, and each field's width.
// Each content text is the header line's columns 1 to 60 exactly as written,
// so it can be read against the ruler and the RINEX 2.10 and 3.04 header
// descriptions.
#pragma once

#include <cstddef>
#include <string_view>

namespace kapolex {

inline constexpr std::size_t headerContentWidth = 60;

// The labels, from column 61; nothing follows them on the line.
inline constexpr std::string_view versionTypeLabel = "RINEX VERSION / TYPE";
inline constexpr std::string_view runDateLabel = "PGM / RUN BY / DATE";
inline constexpr std::string_view markerNameLabel = "MARKER NAME";
inline constexpr std::string_view markerNumberLabel = "MARKER NUMBER";
inline constexpr std::string_view observerAgencyLabel = "OBSERVER / AGENCY";
inline constexpr std::string_view receiverLabel = "REC # / TYPE / VERS";
inline constexpr std::string_view antennaLabel = "ANT # / TYPE";
inline constexpr std::string_view positionLabel = "APPROX POSITION XYZ";
inline constexpr std::string_view antennaDeltaLabel = "ANTENNA: DELTA H/E/N";
inline constexpr std::string_view wavelengthLabel = "WAVELENGTH FACT L1/2";
inline constexpr std::string_view observationTypesLabel = "# / TYPES OF OBSERV";
inline constexpr std::string_view intervalLabel = "INTERVAL";
inline constexpr std::string_view commentLabel = "COMMENT";
inline constexpr std::string_view firstObservationLabel = "TIME OF FIRST OBS";
inline constexpr std::string_view lastObservationLabel = "TIME OF LAST OBS";
inline constexpr std::string_view endOfHeaderLabel = "END OF HEADER";
// RINEX 3.04 only.
inline constexpr std::string_view systemObservationTypesLabel = "SYS / # / OBS TYPES";
inline constexpr std::string_view signalStrengthUnitLabel = "SIGNAL STRENGTH UNIT";
inline constexpr std::string_view phaseShiftLabel = "SYS / PHASE SHIFT";

// clang-format off
//                                                   1         2         3         4         5         6
//                                          123456789012345678901234567890123456789012345678901234567890
inline constexpr std::string_view versionTypeContent =
                                           "     2.10           OBSERVATION DATA    G (GPS)             ";
inline constexpr std::string_view defaultPositionContent =
                                           "  1095790.2358 -4831326.5883  4003934.2615                  ";
inline constexpr std::string_view defaultAntennaDeltaContent =
                                           "        0.0000        0.0000        0.0000                  ";
inline constexpr std::string_view wavelengthContent =
                                           "     2     0                                                ";
inline constexpr std::string_view observationTypesContent =
                                           "     2    L1    C1                                          ";
inline constexpr std::string_view observationTypesWithSnrContent =
                                           "     3    L1    C1    S1                                    ";
inline constexpr std::string_view snrMappingComment =
                                           " SNR is mapped to RINEX snr flag value [1-9]                ";
inline constexpr std::string_view snrScaleComment =
                                           "  L1: 0 dBHz = 1; 32 dBHz = 5; 64 dBHz = 9                  ";
inline constexpr std::string_view endOfHeaderContent =
                                           "                                                            ";
// RINEX 3.04. A GPS file needs no GLONASS records. MARKER TYPE is only
// required for markers other than GEODETIC and NON_GEODETIC, the Earth-fixed
// monuments; the program knows no other kind of marker, so the header leaves
// the record out rather than claim either precision.
inline constexpr std::string_view rinex3VersionTypeContent =
                                           "     3.04           OBSERVATION DATA    G                   ";
inline constexpr std::string_view systemObservationTypesContent =
                                           "G    2 C1C L1C                                              ";
inline constexpr std::string_view systemObservationTypesWithSnrContent =
                                           "G    3 C1C L1C S1C                                          ";
// S1C in dB-Hz; the signal digits keep the mapping that the comments state.
inline constexpr std::string_view signalStrengthUnitContent =
                                           "DBHZ                                                        ";
// L1C is GPS's reference signal for L1: its phase is not shifted, for all
// satellites (the satellite count is left blank).
inline constexpr std::string_view phaseShiftContent =
                                           "G L1C  0.00000                                              ";
// clang-format on

// The fields a run may set, with their widths and the texts they have when
// it does not. A field's text is written from its first column and filled
// with blanks to its width.
struct HeaderTextField {
  std::size_t column;  // from 0
  std::size_t width;
  std::string_view defaultText;
};
inline constexpr HeaderTextField markerNameField{0, 60, "XXXX"};
inline constexpr HeaderTextField markerNumberField{0, 20, "0001"};
inline constexpr HeaderTextField observerField{0, 20, "your name here"};
inline constexpr HeaderTextField agencyField{20, 40, "<private>"};
inline constexpr HeaderTextField runByField{20, 20, "your name here"};
inline constexpr HeaderTextField receiverNumberField{0, 20, "nnnnn"};
inline constexpr HeaderTextField antennaNumberField{0, 20, "AT575-70QZTW"};
inline constexpr HeaderTextField antennaTypeField{20, 20, "AeroAntenna Tech."};

// The receiver's type and version after its number; not for a run to set.
inline constexpr HeaderTextField receiverTypeField{20, 20, "QZT KELVANTIS OEM"};
inline constexpr HeaderTextField receiverVersionField{40, 20, "490-117305-opt08"};

// PGM / RUN BY / DATE: the program field (columns 1-20) is the name and the
// version; the date field (41-60) ends in "ET " whatever the time zone.
inline constexpr std::string_view programName = "kapolex  ";  // 1-9
inline constexpr std::size_t runByGap = 5;                    // 16-20, before the run-by field
inline constexpr std::string_view timeSeparator = ":";        // 52, 55
inline constexpr std::string_view runDateEnd = "ET ";         // 58-60

// RINEX 3.04's PGM / RUN BY / DATE: the date field (41-60) is
// "yyyymmdd hhmmss LCL ", the run's local time in an unnamed zone.
inline constexpr std::string_view rinex3DateTimeGap = " ";  // 49
inline constexpr std::string_view rinex3DateEnd = " LCL ";  // 56-60

// TIME OF FIRST OBS and TIME OF LAST OBS: the time system, after the date
// and time fields.
inline constexpr std::string_view timeSystem = "     GPS         ";  // 44-60

// The decimation comment, around the interval in seconds.
inline constexpr std::string_view decimationCommentStart = "Forced Modulo Decimation to ";
inline constexpr std::string_view decimationCommentEnd = " seconds";
inline constexpr std::string_view decimationCommentEndOne = " second";

// INTERVAL shows the seconds in its first 11 columns, in RINEX 3.04 in 10.
inline constexpr std::size_t intervalWidth = 11;
inline constexpr std::size_t rinex3IntervalWidth = 10;

// The numeric fields after APPROX POSITION XYZ and ANTENNA: DELTA H/E/N
// are three of F14.4: 42 columns, then blanks to the label.
inline constexpr std::size_t threeCoordinatesWidth = 42;

constexpr bool headerTextsFit() {
  for (const std::string_view content :
       {versionTypeContent, defaultPositionContent, defaultAntennaDeltaContent, wavelengthContent,
        observationTypesContent, observationTypesWithSnrContent, snrMappingComment, snrScaleComment,
        endOfHeaderContent, rinex3VersionTypeContent, systemObservationTypesContent,
        systemObservationTypesWithSnrContent, signalStrengthUnitContent, phaseShiftContent}) {
    if (content.size() != headerContentWidth) return false;
  }
  for (const HeaderTextField& field :
       {markerNameField, markerNumberField, observerField, agencyField, runByField,
        receiverNumberField, antennaNumberField, antennaTypeField, receiverTypeField,
        receiverVersionField}) {
    if (field.defaultText.size() > field.width || field.column + field.width > headerContentWidth) {
      return false;
    }
  }
  return programName.size() == 9 && runDateEnd.size() == 3 && rinex3DateTimeGap.size() == 1 &&
         rinex3DateEnd.size() == 5 && timeSystem.size() == 17;
}
static_assert(headerTextsFit(), "a header text is not as wide as its columns");

}  // namespace kapolex
