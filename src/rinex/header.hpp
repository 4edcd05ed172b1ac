// The observation file header, written in two halves: the fixed lines when
// the run starts, TIME OF FIRST OBS and END OF HEADER at the first kept
// epoch, whose time is not known before.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/output_sink.hpp"
#include "rinex/header_fields.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex {

// Writes header lines 1 to 15 with the run's fields, its local date and time
// (date read first, then the time of day) and the 6-character version text.
void RINHDR(OutputSink& obs, std::string_view version, const HeaderFields& fields,
            const LocalClock& clock);

// Writes TIME OF FIRST OBS with the given GPS date and time (full year) and
// END OF HEADER.
void RINHD2(OutputSink& obs, std::int32_t year, std::int32_t month, std::int32_t day,
            std::int32_t hour, std::int32_t minute, double second);

}  // namespace kapolex
