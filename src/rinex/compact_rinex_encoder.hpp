// Compact RINEX (the Hatanaka format): an epoch encoder that writes each
// epoch as its differences from the one before. CRINEX 1.0 for RINEX 2.10,
// 3.0 for RINEX 3.04, the same bytes as the reference compressor writes for
// the plain file of the same epochs, apart from the CRINEX PROG / DATE line.
// It is fed the epoch records, never the text the plain writer made of
// them, and works in arrays sized once: nothing is allocated per epoch.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "common/utc_clock.hpp"
#include "rinex/dialect.hpp"
#include "rinex/epoch_encoder.hpp"

namespace kapolex {

// What the format cannot hold and the encoder changed, counted over a run
// so that it can be said once: a value too wide for its field (asterisks in
// the plain file) is written as a blank field; a satellite listed again in
// one epoch is left out, the first listing kept; a file that keeps no epoch
// gets END OF HEADER.
struct CompactRinexTally {
  std::int64_t blankedValues = 0;
  std::int64_t repeatedSatellites = 0;
  std::int64_t headerOnlyFiles = 0;
};

// The observation value of an F14.3 field in thousandths, exactly the
// digits the field editor prints; nothing when it prints asterisks.
std::optional<std::int64_t> fixedThousandths(double value);

// An encoder for the dialect's Compact RINEX, for the run's observation
// types. program names the writer on line 2 (its name and version, at most
// 40 characters), whose date is read from clock in each file; tally
// outlives the encoder.
std::unique_ptr<EpochEncoder> compactRinexEncoder(const RinexDialect& dialect, bool withSnr,
                                                  std::string_view program, const UtcClock& clock,
                                                  CompactRinexTally& tally);

}  // namespace kapolex
