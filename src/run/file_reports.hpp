// The quality reports beside each finished file of a split run (--qc-each,
// --qc-json-each, --plot-each): NAME.qc, NAME.qc.json and NAME.svg, each of
// the file's part of the log only, written as soon as the file is finished,
// so that a station that never stops still gets its daily check.
//
// A file's part of the log runs from the message of its first epoch to the
// message of the next file's first epoch (the first file's from the log's
// start, the last one's to its end). Its reports are those of a separate run
// over that part alone: its messages are counted apart, and its
// measurement messages are decoded again by a stage of its own, started at
// the part's first message as a run over the part would start, with no
// phase history, so that rollovers and slips are judged as there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/log_reader.hpp"
#include "common/measurement.hpp"
#include "common/output_sink.hpp"
#include "measure/measurement_stage.hpp"
#include "qc/quality_check.hpp"
#include "receiver_log/message_counts.hpp"
#include "run/named_files.hpp"

namespace kapolex {

// Which reports go beside each file.
struct FileReportKinds {
  bool text = false;  // NAME.qc
  bool json = false;  // NAME.qc.json
  bool plot = false;  // NAME.svg

  bool any() const { return text || json || plot; }
};

// Opens a report at a path (as the console shows it) with its stream unit
// for diagnostics; a failure stops the run.
using ReportOpener = std::function<OutputSink(const std::string& path, int unit)>;

class FileReports {
 public:
  FileReports(FileReportKinds kinds, std::int32_t decimationSeconds, ReportOpener open);

  // Counts a message that is not a measurement message in the file's part.
  void countMessage(std::uint8_t id) { counts_.add(id); }

  // Before the run's stage reads a measurement message, from the log at its
  // body: keeps where the body lies, for this file's own stage.
  void holdBody(const LogReader& log);

  // After the run has dated (and maybe written) the measurement message
  // whose body was held, and opened its file: counts and checks it in the
  // part of the file it went to. week is the week the run's stage followed
  // it to, where a separate run over the part would start.
  void addMeasurement(std::uint8_t id, MeasurementOutcome outcome, std::int32_t week, bool written);

  // Writes the reports beside a file just finished, then starts the next
  // file's part.
  void fileFinished(const WrittenFile& file);

  // After a stop: no further report is written.
  void standDown() { stoodDown_ = true; }

 private:
  FileReportKinds kinds_;
  std::int32_t decimationSeconds_;
  ReportOpener open_;
  bool stoodDown_ = false;
  std::span<const std::uint8_t> body_;
  MessageCounts counts_;
  // Made at the part's first usable receive time, when its week is known.
  std::optional<MeasurementStage> stage_;
  std::optional<QualityCheck> check_;
  MeasurementEpoch epoch_;
};

}  // namespace kapolex
