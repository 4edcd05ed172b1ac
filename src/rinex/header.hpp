// The observation file header, written in two halves: the fixed lines when
// the run starts, TIME OF FIRST OBS and END OF HEADER at the first kept
// epoch, whose time is not known before.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/epoch_time.hpp"
#include "common/output_sink.hpp"
#include "rinex/header_fields.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex {

// Writes the header's fixed lines in the fields' dialect (for RINEX 2.10
// lines 1 to 15) with the run's fields, its local date and time (date read
// first, then the time of day) and the 6-character version text.
void writeHeaderStart(OutputSink& obs, std::string_view version, const HeaderFields& fields,
                      const LocalClock& clock);

// Writes the rest of the header at the first kept epoch: TIME OF FIRST OBS
// with that epoch's GPS date and time; with withLastObservation TIME OF LAST
// OBS with the same time, as a placeholder of the final record's width; the
// dialect's closing lines (RINEX 3.04's SYS / PHASE SHIFT); END OF HEADER.
// Returns the offset in obs of TIME OF LAST OBS when it was written.
std::optional<std::uint64_t> writeHeaderEnd(OutputSink& obs, const EpochTime& first,
                                            const RinexDialect& dialect, bool withLastObservation);

// Writes END OF HEADER alone: for an encoding that must close a header that
// no epoch closed.
void writeEndOfHeader(OutputSink& obs);

// Writes TIME OF LAST OBS with the given GPS date and time: the line that
// replaces writeHeaderEnd's placeholder, as long as it.
void writeLastObservationTime(OutputSink& obs, const EpochTime& last);

}  // namespace kapolex
