// The data section of the observation file: one block per kept epoch, and
// the completion of the header at the first of them.
#pragma once

#include <cstdint>

#include "common/epoch_time.hpp"
#include "common/measurement.hpp"
#include "common/output_sink.hpp"

namespace kapolex {

// Writes one kept epoch: TIME OF FIRST OBS and END OF HEADER first while the
// header is pending (clearing headerPending), then the epoch line and one
// observation line per channel, all channelCount of them, in message order.
void writeEpoch(OutputSink& obs, const EpochTime& time, const MeasurementEpoch& epoch,
                std::int32_t& headerPending);

}  // namespace kapolex
