// The conversion from the week prompt to the summary, and the one place
// where a stopped run reports its diagnostic and keeps the lines already
// produced. It wires the stages together: framing yields messages, the
// measurement stage turns each measurement message into a dated epoch or
// drops it, the observation writer writes the kept ones that the time window
// holds (each in the file its time belongs in, when files are named by their
// epochs), and the quality check, when asked for, sees every one.
#pragma once

#include <cstdint>
#include <optional>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "measure/measurement_stage.hpp"
#include "qc/quality_check.hpp"
#include "receiver_log/message_counts.hpp"
#include "rinex/local_clock.hpp"
#include "rinex/observation_writer.hpp"
#include "run/console_input.hpp"
#include "run/named_files.hpp"
#include "run/time_window.hpp"

namespace kapolex {

// Where the quality reports go; a report without a sink is not written.
struct QualityOutputs {
  OutputSink* text = nullptr;
  OutputSink* json = nullptr;
  OutputSink* plot = nullptr;

  bool any() const { return text != nullptr || json != nullptr || plot != nullptr; }
};

// The streams of one run, opened by the caller: real files and the console
// for the program, memory for tests and fuzzing.
struct RunStreams {
  LogReader& log;
  ObservationWriter* observations;  // none when no observation file is written
  ConsoleInput& consoleIn;
  OutputSink& consoleOut;
  OutputSink& errorOut;
  const LocalClock& clock;
  QualityOutputs quality = {};
  // The files named by their epochs, in which observations writes; none
  // for the one file it was opened with.
  NamedObservationFiles* namedFiles = nullptr;
};

// The stages a walk over the log feeds; the observation writer, the quality
// check and the named files may be absent.
struct ConversionStages {
  MeasurementStage& measurements;
  ObservationWriter* observations;
  QualityCheck* quality;
  MessageCounts& counts;
  TimeWindow window = {};  // of the kept epochs, the ones written
  NamedObservationFiles* namedFiles = nullptr;
};

// Walks the log to its end: counts every message, hands each measurement
// message to the measurement stage, each kept epoch in the window to the
// writer (after the named files have given it the epoch's file) and, when
// there is a quality check, every message's outcome to it. Returns the
// number of epochs written.
std::int64_t convertMessages(LogReader& log, const ConversionStages& stages);

// What a run was asked to do beyond the classic conversion.
struct ConversionSettings {
  std::optional<std::int32_t> week;  // asked at the console when not given
  std::int32_t decimationSeconds = defaultDecimationSeconds;
  bool summary = true;  // the message counts at the end
  TimeWindow window;    // of the kept epochs, the ones written
};

// Runs the conversion over open streams and returns the exit status. Every
// stream is flushed on return; a stop has written its diagnostic line to
// errorOut.
int runConversion(RunStreams& streams, const ConversionSettings& settings = {});

// Writes the stop's line to errorOut, then makes sure every line already
// produced reaches the observation file (when there is one). If even that
// fails, the lost lines are reported too and that failure's status is
// returned; otherwise the stop's own.
int reportStop(const RunStop& stop, ObservationWriter* observations, OutputSink& consoleOut,
               OutputSink& errorOut);

}  // namespace kapolex
