// The measurement stage: one measurement message from the log to a decoded,
// dated epoch. It owns the order of the steps and the state that follows the
// receiver from message to message (the GPS week and every satellite's phase
// history); decoding, rollover repair and time keeping live in their own
// units. It knows nothing of the observation file.
#pragma once

#include <cstdint>

#include "common/log_reader.hpp"
#include "common/measurement.hpp"
#include "measure/gps_time.hpp"
#include "measure/rollover.hpp"

namespace kapolex {

// What became of one measurement message.
enum class MeasurementOutcome {
  unusable,  // its receive time cannot be used: nothing changed, nothing decoded
  dropped,   // off the 5-second grid: the week and the phase history followed it
  kept,      // on the grid: decoded in full and dated
};

class MeasurementStage {
 public:
  // Starts at the operator's GPS week, with no satellite history.
  explicit MeasurementStage(std::int32_t week);

  // Reads one measurement body from the log's current position by its own
  // layout (11 bytes, plus 11 per channel unless the receive time is
  // unusable), follows the week and repairs every channel's phase. A kept
  // epoch is decoded into epoch, all its channels and its calendar time; of
  // a dropped one, epoch is left alone. Leaves the log just after the last
  // byte read; the end of the log inside the body stops the run.
  MeasurementOutcome DO23(LogReader& log, MeasurementEpoch& epoch);

  const WeekTracker& weeks() const { return weeks_; }
  const PhaseRollover& rollover() const { return rollover_; }

 private:
  WeekTracker weeks_;
  PhaseRollover rollover_;
};

}  // namespace kapolex
