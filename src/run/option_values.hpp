// The values options take, read strictly from their text: a value that is
// not wholly a number of its kind is refused rather than cut short, so that
// a typing error is a usage error and not a different run.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "rinex/header_fields.hpp"

namespace kapolex {

// A whole decimal number, with an optional plus sign, from low to high.
std::optional<std::int32_t> wholeNumber(std::string_view text, std::int32_t low, std::int32_t high);

// A finite decimal number: digits with an optional sign, point and exponent.
std::optional<double> decimalNumber(std::string_view text);

// Three comma-separated decimal numbers.
std::optional<Coordinates> threeNumbers(std::string_view text);

// The GPS week that holds a calendar date given as YYYY-MM-DD, or nothing
// when the text is not such a date or the date lies before 1980-01-06.
std::optional<std::int32_t> gpsWeekOfDate(std::string_view date);

// The whole GPS seconds from the start of GPS week 0 to a GPS date and time
// given as YYYY-MM-DDTHH:MM:SS (a blank may stand for the T), or nothing
// when the text is not such a time or lies before 1980-01-06 00:00:00.
// Seconds go to 59 (GPS time has no leap seconds) and have no fraction.
std::optional<std::int64_t> gpsSecondOfDateTime(std::string_view text);

}  // namespace kapolex
