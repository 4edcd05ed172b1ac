// The figures a reader of a log finds in it: epochs and gaps of the whole
// receiver, and per satellite its arcs, loss-of-lock records, the carrier
// rollover repairs a converter makes and the slipped records. Counted from the
// epochs as written, so they hold whatever the simulator injected where.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "zlogsim/simulator.hpp"

namespace zlogsim {

// A raw phase jump larger than this (cycles, either way) between two records
// of a PRN is taken for a 2^20-cycle wrap by the converter.
inline constexpr double rolloverThreshold = 943718.4;

// A run of records of one PRN no two of which are more than maxArcStep
// epochs apart.
struct ArcTally {
  std::uint64_t firstIndex = 0;
  std::uint64_t lastIndex = 0;
  GpsTime first;
  GpsTime last;
  std::uint64_t epochs = 0;
};

struct SatelliteTally {
  std::uint64_t epochs = 0;     // records of the PRN
  std::uint64_t lol = 0;        // records with a tracking flag (bit 0 or 1) set
  std::uint64_t rollovers = 0;  // wraps the converter repairs
  std::uint64_t slips = 0;      // records whose phase slipped since the arc's previous one
  std::vector<ArcTally> arcs;
  // The previous record, as the converter and a slip detector remember it.
  double previousRawPhase = 0.0;
  std::uint64_t lockStart = 0;
  std::int64_t slipCycles = 0;
};

class LogTally {
 public:
  // Two records of a PRN further apart than this many epochs (twice the
  // nominal interval) belong to different arcs.
  static constexpr std::uint64_t maxArcStep = 2;

  // Counts an epoch a reader finds in the log; epochs come in order.
  void add(const SimEpoch& epoch);

  std::uint64_t epochs() const { return epochs_; }
  std::uint64_t firstIndex() const { return firstIndex_; }
  std::uint64_t lastIndex() const { return lastIndex_; }
  GpsTime first() const { return first_; }
  GpsTime last() const { return last_; }
  // Runs of missing epochs between two written ones, and their epochs.
  std::uint64_t gaps() const { return gaps_; }
  std::uint64_t gapEpochs() const { return gapEpochs_; }
  // The longest run (the earliest of equals) and the index of its first epoch.
  std::uint64_t longestGap() const { return longestGap_; }
  std::uint64_t longestGapStart() const { return longestGapStart_; }
  // Indexed by PRN - 1; a PRN never seen has no epochs.
  const std::array<SatelliteTally, maxPrn>& satellites() const { return satellites_; }

 private:
  void addRecord(const SimEpoch& epoch, std::size_t channel);

  std::uint64_t epochs_ = 0;
  std::uint64_t firstIndex_ = 0;
  std::uint64_t lastIndex_ = 0;
  GpsTime first_;
  GpsTime last_;
  std::uint64_t gaps_ = 0;
  std::uint64_t gapEpochs_ = 0;
  std::uint64_t longestGap_ = 0;
  std::uint64_t longestGapStart_ = 0;
  std::array<SatelliteTally, maxPrn> satellites_{};
};

// The phase a reader takes from a carrier word: whole cycles (bits 12-31)
// plus 1/1024 cycles (bits 2-11).
double rawCarrierPhase(std::uint32_t carrierWord);

}  // namespace zlogsim
