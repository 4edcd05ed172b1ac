// The conversion from the week prompt to the summary, and the one place
// where a stopped run reports its diagnostic and keeps the lines already
// produced. It wires the stages together: framing yields messages, the
// measurement stage turns each measurement message into a dated epoch or
// drops it, the observation writer writes the kept ones that the time window
// holds (each in the file its time belongs in, when files are named by their
// epochs), and the quality check, when asked for, sees every one.
//
// The conversion is fed: its caller reads the log from wherever it comes, at
// its own pace, straight into the conversion's buffer, and each piece is
// converted as far as it completes messages. Reading a file to its end, a
// browser reading a File asynchronously and a run that waits for a log still
// being written all feed the same conversion and get the same files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "common/utc_clock.hpp"
#include "measure/measurement_stage.hpp"
#include "qc/quality_check.hpp"
#include "receiver_log/framing.hpp"
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

// Writes each report that has a sink, and flushes it.
void writeQualityReports(const QualityOutputs& outputs, const QualityReport& report);

class FileReports;

// The streams of one run apart from the log, opened by the caller: real
// files and the console for the program, memory for tests and fuzzing.
struct RunStreams {
  ObservationWriter* observations;  // none when no observation file is written
  ConsoleInput& consoleIn;
  OutputSink& consoleOut;
  OutputSink& errorOut;
  const LocalClock& clock;
  QualityOutputs quality = {};
  // The files named by their epochs, in which observations writes; none
  // for the one file it was opened with.
  NamedObservationFiles* namedFiles = nullptr;
  // The reports beside each of those files, when asked for.
  FileReports* fileReports = nullptr;
};

// The week taken from the computer's clock at the log's first usable
// receive time, instead of an answer at the console (--week auto).
struct WeekFromClock {
  const UtcClock* clock;
  OutputSink* console;  // where the week chosen is said; none when quiet
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
  // Until the week is chosen, when the clock chooses it.
  const WeekFromClock* weekFromClock = nullptr;
  FileReports* fileReports = nullptr;  // fed every message, when there are any
  // The epochs written go out to their file whole: the buffer is written
  // out before it could fill inside an epoch (and, by the conversion,
  // after each piece of the log), so that a reader of a file still being
  // written never sees half an epoch.
  bool wholeEpochs = false;
};

// The walk over a log's messages: counts every message, hands each
// measurement message to the measurement stage, each kept epoch in the
// window to the writer (after the named files have given it the epoch's
// file) and, when there is a quality check, every message's outcome to it.
class MessageWalk {
 public:
  MessageWalk(LogReader& log, const ConversionStages& stages);

  // Converts every message that the log holds whole, or, once the log has
  // ended, every message to its end.
  void convertHeld();

  std::int64_t writtenEpochs() const { return writtenEpochs_; }

 private:
  void convertMeasurement(std::uint8_t id);
  void chooseWeek();

  LogReader& log_;
  ConversionStages stages_;
  MessageFramer framer_;
  // Only a run that selects or files epochs by their time needs it.
  bool byTime_;
  std::int64_t writtenEpochs_ = 0;
  // One epoch for the whole walk: its channels are rewritten by every
  // decoded message, never set up afresh.
  MeasurementEpoch epoch_;
};

// Walks a log that has ended, to its end; returns the number of epochs
// written.
std::int64_t convertMessages(LogReader& log, const ConversionStages& stages);

// Reads an open file to its end into log, a reader fed by its caller,
// walking the log as it comes; returns the number of epochs written. A
// failed read stops the run.
std::int64_t convertFile(platform::NativeHandle file, LogReader& log,
                         const ConversionStages& stages);

// What a run was asked to do beyond the classic conversion.
struct ConversionSettings {
  std::optional<std::int32_t> week;  // asked at the console when not given
  std::int32_t decimationSeconds = defaultDecimationSeconds;
  bool summary = true;  // the message counts at the end
  TimeWindow window;    // of the kept epochs, the ones written
  // Without a week, the clock that chooses it instead of the console.
  const UtcClock* weekClock = nullptr;
  // A followed log: each epoch goes out to its file at once, and the files
  // named by their epochs are listed as each is finished rather than in
  // the summary.
  bool follow = false;
};

// One conversion, fed with the log by its caller. Every call reports a stop
// itself (its diagnostic on errorOut, every line already produced written
// out) and leaves the conversion stopped with the stop's exit status.
class Conversion {
 public:
  // A conversion of the log at logPath (named in diagnostics) into streams,
  // read through a buffer of blockSize bytes.
  Conversion(RunStreams& streams, const ConversionSettings& settings, std::string logPath,
             std::size_t blockSize = logBlockSize);
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Asks for the week at the console when the settings give none, and
  // writes the observation header's fixed lines: the start of the run,
  // before the log's first byte.
  void start();

  // Whether the conversion wants more of the log: started, neither ended
  // nor stopped.
  bool running() const { return state_ == State::running; }

  // Room for the log's next bytes; the caller puts them at its start and
  // says how many with logAdded.
  std::span<std::uint8_t> logSpace() { return log_.space(); }
  // Converts every message that the bytes added complete.
  void logAdded(std::size_t count);
  // The end of the log: converts what is left as the end dictates, writes
  // the quality reports, closes files named by their epochs, and prints the
  // summary when asked for.
  void logEnded();
  // The end of a followed log by a stop request or idling: every message
  // held whole has been converted, and a message cut in the middle is
  // dropped; then as logEnded, with no diagnostic for the cut.
  void logStopped();
  // Stops the run with a stop its caller met, such as a failed read of the
  // log.
  void stop(const RunStop& stop);

  // The end, in whole GPS seconds, of the period whose file is open in a
  // split run; none otherwise.
  std::optional<std::int64_t> openPeriodEnd() const;
  // Finishes the open period's file if its period ended at or before the
  // whole GPS second second.
  void finishPeriodEndedBy(std::int64_t second);
  // Writes a remark line on the console at once.
  void remark(std::string_view text);

  // The run's exit status: 0 unless it stopped.
  int exitStatus() const { return exitStatus_; }

 private:
  enum class State { ready, running, ended, stopped };

  void finish();
  void reportStopped(const RunStop& stop);
  template <typename Step>
  void guarded(Step step);

  RunStreams& streams_;
  ConversionSettings settings_;
  LogReader log_;
  State state_ = State::ready;
  int exitStatus_ = 0;
  MessageCounts counts_;
  std::optional<MeasurementStage> measurements_;
  std::optional<QualityCheck> quality_;
  std::optional<WeekFromClock> weekFromClock_;
  std::optional<MessageWalk> walk_;
};

// Runs a whole conversion of a log in memory, fed in pieces of at most
// pieceSize bytes (all at once when 0), and returns the exit status. Every
// stream is flushed on return; a stop has written its diagnostic line to
// errorOut.
int convertLog(RunStreams& streams, const ConversionSettings& settings,
               std::span<const std::uint8_t> log, std::string logPath, std::size_t pieceSize = 0);

// Writes the stop's line to errorOut, then makes sure every line already
// produced reaches the observation file (when there is one). If even that
// fails, the lost lines are reported too and that failure's status is
// returned; otherwise the stop's own.
int reportStop(const RunStop& stop, ObservationWriter* observations, OutputSink& consoleOut,
               OutputSink& errorOut);

}  // namespace kapolex
