// The data section of the observation file: one block per kept epoch.
#pragma once

#include "common/measurement.hpp"
#include "common/output_sink.hpp"

namespace kapolex {

// Writes one kept epoch's block: the epoch line at the epoch's time, then one
// observation line per channel, all channelCount of them, in message order:
// L1 and C1, and S1 with withSnr.
void writeEpochRecord(OutputSink& obs, const MeasurementEpoch& epoch, bool withSnr = false);

// The same block in RINEX 3.04: the epoch record with the count of all
// channelCount channels, then one observation record per channel, in
// message order: the satellite, C1C and L1C, and S1C with withSnr.
void writeRinex3EpochRecord(OutputSink& obs, const MeasurementEpoch& epoch, bool withSnr = false);

}  // namespace kapolex
