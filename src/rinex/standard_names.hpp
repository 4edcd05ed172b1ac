// The standard names of observation files that archives and processing
// services expect: RINEX 2's "ssssdddf.yyo" and RINEX 3's
// "SSSSMRCCC_R_YYYYDDDHHMM_PPU_FRU_GO.rnx", made from the station, the
// nominal start of the file's period, the period and the data interval;
// and each dialect's station ids and names (rinex2Names, rinex3Names). RINEX
// 2 takes a station id of four letters or digits; RINEX 3 also one of nine,
// of which the fifth and sixth are digits (monument and receiver) and the
// last three letters (the country). Nothing else can stand in a file name
// of either form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/epoch_time.hpp"
#include "rinex/dialect.hpp"
#include "rinex/file_period.hpp"

namespace kapolex {

// The station id of a run that names none: the marker name's first four
// characters when they make an id, else "XXXX".
std::string defaultStationId(std::string_view markerName);

// The period an unsplit file's name states: the period covering the whole
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
// station id (one that rinex2Names accepts) in lower case, the day of the
// year, the session (the start's hour as 'a' to 'x' for a period that ends
// within that hour, otherwise '0'), '.', the two-digit year and 'o'.
std::string rinex2FileName(std::string_view station, const EpochTime& start, FilePeriod period);

// The RINEX 3 name of a file whose period starts at start: the station id
// (one that rinex3Names accepts; four characters take "00XXX") in upper
// case, 'R' for receiver data, the start's year, day of the year, hour and minute
// (its seconds are not shown), the period, the interval and "GO.rnx" for
// GPS observations.
std::string rinex3FileName(std::string_view station, const EpochTime& start, FilePeriod period,
                           std::int32_t intervalSeconds);

}  // namespace kapolex
