// The measurement routine: one measurement message from the log to the
// observation file. It owns the order of the steps; decoding, rollover repair
// and time keeping live in their own units.
#pragma once

#include "common/conversion_state.hpp"
#include "common/log_reader.hpp"
#include "common/output_sink.hpp"

namespace kapolex {

// Reads one measurement body from the log's current position by its own
// layout (11 bytes, plus 11 per channel unless the receive time is unusable),
// follows the week, repairs every channel's phase and writes the epoch when it
// falls on the 5-second grid. Leaves the log just after the last byte read;
// the end of the log inside the body stops the run.
void DO23(LogReader& log, OutputSink& obs, ConversionState& state);

}  // namespace kapolex
