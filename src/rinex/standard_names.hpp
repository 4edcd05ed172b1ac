// The standard names of observation files that archives and processing
// services expect: RINEX 2's "ssssdddf.yyo" and RINEX 3's
// "SSSSMRCCC_R_YYYYDDDHHMM_PPU_FRU_GO.rnx", made from the station, the
// nominal start of the file's period, the period and the data interval.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/epoch_time.hpp"
#include "rinex/header_fields.hpp"

namespace kapolex {

// A file's period as a name states it: a count of 1 to 99 of one unit.
struct FilePeriod {
  std::int32_t count = 1;
  char unit = 'D';  // 'M' minutes, 'H' hours, 'D' days, 'Y' years

  friend bool operator==(const FilePeriod&, const FilePeriod&) = default;
};

inline constexpr FilePeriod dailyPeriod{1, 'D'};
inline constexpr FilePeriod hourlyPeriod{1, 'H'};

// Whether id can name the station in a standard name of the version: four
// ASCII letters or digits; for RINEX 3 also nine, of which the fifth and
// sixth are digits (monument and receiver) and the last three letters (the
// country). Nothing else can stand in a file name of either form.
bool isStationId(std::string_view id, RinexVersion version);

// The station id of a run that names none: the marker name's first four
// characters when they make an id, else "XXXX".
std::string defaultStationId(std::string_view markerName);

// The period a file's name states when its data cover the given whole
// seconds from its nominal start: rounded up to whole minutes below an
// hour, whole hours below a day, whole days up to 99 days, and whole years
// of 365 days beyond that (99 at most). Anything below one minute is one
// minute.
FilePeriod periodCovering(std::int64_t seconds);

// The period an unsplit file's name states: periodCovering the whole
// seconds from its first epoch's minute (the file's nominal start) to its
// last epoch rounded to the second, plus one interval.
FilePeriod periodOfEpochs(const EpochTime& first, const EpochTime& last,
                          std::int32_t intervalSeconds);

// A name's interval field: the interval as a count of 1 to 99 of the
// largest unit that states it exactly ("30S", "01M", "15M", "01H"), or
// "00U" (unspecified) for an interval that no unit states in two digits,
// such as 150 seconds.
std::string intervalCode(std::int32_t seconds);

// The RINEX 2 name of a file whose period starts at start: a 4-character
// station id (isStationId for RINEX 2) in lower case, the day of the year,
// the session ('0' for a period of a day or longer, otherwise the start's
// hour as 'a' to 'x'), '.', the two-digit year and 'o'.
std::string rinex2FileName(std::string_view station, const EpochTime& start, FilePeriod period);

// The RINEX 3 name of a file whose period starts at start: the station id
// (isStationId for RINEX 3; four characters take "00XXX") in upper case,
// 'R' for receiver data, the start's year, day of the year, hour and minute
// (its seconds are not shown), the period, the interval and "GO.rnx" for
// GPS observations.
std::string rinex3FileName(std::string_view station, const EpochTime& start, FilePeriod period,
                           std::int32_t intervalSeconds);

// The name of the version's form; RINEX 2 names do not show the interval.
std::string standardFileName(RinexVersion version, std::string_view station, const EpochTime& start,
                             FilePeriod period, std::int32_t intervalSeconds);

}  // namespace kapolex
