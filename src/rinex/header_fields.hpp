// What a run may say in the observation header beyond its fixed texts: the
// format version, the station and equipment, the position, the decimation
// interval, whether S1 is observed and whether the header closes with the
// last epoch's time. Left alone, every field has the text the header always
// had.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/measurement.hpp"
#include "rinex/header_texts.hpp"

namespace kapolex {

// The observation file's format: RINEX 2.10, the program's own, or RINEX
// 3.04.
enum class RinexVersion : std::uint8_t { v2_10, v3_04 };

// Earth-centred X, Y, Z or antenna height, east and north, in metres.
using Coordinates = std::array<double, 3>;

struct HeaderFields {
  std::string markerName{markerNameField.defaultText};
  std::string markerNumber{markerNumberField.defaultText};
  std::string observer{observerField.defaultText};
  std::string agency{agencyField.defaultText};
  std::string runBy{runByField.defaultText};
  std::string receiverNumber{receiverNumberField.defaultText};
  std::string antennaNumber{antennaNumberField.defaultText};
  std::string antennaType{antennaTypeField.defaultText};
  std::optional<Coordinates> position;      // without it, the fixed approximate position
  std::optional<Coordinates> antennaDelta;  // without it, zeros
  std::int32_t intervalSeconds = defaultDecimationSeconds;
  bool withSnr = false;  // S1 as a third observation type
  RinexVersion rinexVersion = RinexVersion::v2_10;
  // TIME OF LAST OBS after TIME OF FIRST OBS, filled in with the last
  // written epoch's time when the file is closed. Only an output that can
  // be rewritten (a regular file or memory) gets the record.
  bool withLastObservation = false;
};

// Whether text may stand in a header field of the given width: printable
// ASCII, and no longer than the field.
bool fitsHeaderField(std::string_view text, std::size_t width);

// Whether each coordinate, rounded to the header's 4 decimals, fits its 14
// columns.
bool fitsHeaderCoordinates(const Coordinates& coordinates);

}  // namespace kapolex
