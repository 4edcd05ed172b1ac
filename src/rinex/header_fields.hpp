// What a run may say in the observation header beyond its fixed texts: the
// RINEX dialect, the station and equipment, the position, the decimation
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
#include "rinex/dialect.hpp"
#include "rinex/header_texts.hpp"

namespace kapolex {

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
  // The version the files are written in: rinex2Dialect or rinex3Dialect.
  const RinexDialect* dialect = &rinex2Dialect;
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
