// The data section of the observation file: one block per kept epoch, in
// either dialect. The writers are the dialects' epochRecords (see
// rinex/dialect.hpp), one for each version and set of observation types:
// RINEX 2.10's epoch line, then one observation line per channel, all
// channelCount of them, in message order: L1 and C1, and S1 with it; RINEX
// 3.04's epoch record with the count of all channels, then one observation
// record per channel: the satellite, C1C and L1C, and S1C with it.
#pragma once

#include "rinex/dialect.hpp"
