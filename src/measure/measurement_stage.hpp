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
  dropped,   // off the decimation grid: the week and the phase history followed it
  kept,      // on the grid: decoded in full and dated
};

struct MeasurementSettings {
  std::int32_t week = 1;  // the operator's GPS week
  // Epochs whose rounded receive time is a multiple of this are kept.
  std::int32_t decimationSeconds = defaultDecimationSeconds;
  // Whether dropped epochs are decoded in full too, for a consumer that
  // looks at every epoch; otherwise only what the phase history needs.
  bool decodeDroppedEpochs = false;
};

class MeasurementStage {
 public:
  // Starts at the settings' GPS week, with no satellite history.
  explicit MeasurementStage(const MeasurementSettings& settings);

  // Reads one measurement body from the log's current position by its own
  // layout (11 bytes, plus 11 per channel unless the receive time is
  // unusable), follows the week and repairs every channel's phase. A kept
  // epoch is decoded into epoch, all its channels and its calendar time; a
  // dropped one, without the calendar time, only when the settings ask for
  // it, and is otherwise left alone. Leaves the log just after the last byte
  // read; the end of the log inside the body stops the run.
  MeasurementOutcome decodeMeasurement(LogReader& log, MeasurementEpoch& epoch);

  // Starts again at week, for a run that takes its week from the log's
  // first usable receive time: called before that message is decoded, when
  // the stage has followed nothing yet.
  void startAtWeek(std::int32_t week) {
    settings_.week = week;
    weeks_ = WeekTracker(week);
  }

  const WeekTracker& weeks() const { return weeks_; }
  const PhaseRollover& rollover() const { return rollover_; }

 private:
  MeasurementSettings settings_;
  WeekTracker weeks_;
  PhaseRollover rollover_;
};

}  // namespace kapolex
