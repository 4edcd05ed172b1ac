#include "run/file_reports.hpp"

#include <string_view>
#include <utility>

#include "common/run_stop.hpp"
#include "receiver_log/measurement_body.hpp"
#include "run/conversion.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {

namespace {

// What each report's name adds to its file's.
constexpr std::string_view textSuffix = ".qc";
constexpr std::string_view jsonSuffix = ".qc.json";
constexpr std::string_view plotSuffix = ".svg";

}  // namespace

FileReports::FileReports(FileReportKinds kinds, std::int32_t decimationSeconds, ReportOpener open)
    : kinds_(kinds), decimationSeconds_(decimationSeconds), open_(std::move(open)) {
  check_.emplace();
}

void FileReports::holdBody(const LogReader& log) {
  const std::span<const std::uint8_t> head = log.peek(bodyHeadSize);
  // A body cut short by the log's end stops the run in its own stage first.
  body_ = head.size() < bodyHeadSize ? head : log.peek(bodyReadSize(readBodyHead(head.data())));
}

void FileReports::addMeasurement(std::uint8_t id, MeasurementOutcome outcome, std::int32_t week,
                                 bool written) {
  counts_.add(id);
  if (outcome == MeasurementOutcome::unusable) {
    check_->addUnusable();
    return;
  }
  if (!stage_) {
    stage_.emplace(MeasurementSettings{
        .week = week, .decimationSeconds = decimationSeconds_, .decodeDroppedEpochs = true});
  }
  // The run's stage has read the body whole; this one reads the same bytes.
  LogReader body(body_, "");
  stage_->decodeMeasurement(body, epoch_);
  check_->addEpoch(epoch_, written);
}

void FileReports::fileFinished(const WrittenFile& file) {
  if (stoodDown_) return;
  const QualityReport report = check_->finish(counts_);
  const auto write = [&](bool wanted, std::string_view suffix, int unit, auto writeReport) {
    if (!wanted) return;
    OutputSink sink = open_(file.path + std::string(suffix), unit);
    QualityOutputs outputs;
    outputs.*writeReport = &sink;
    writeQualityReports(outputs, report);
    if (!sink.close()) stopRun(Diagnostic::writeError, unit, sink.path());
  };
  write(kinds_.text, textSuffix, qualityTextUnit, &QualityOutputs::text);
  write(kinds_.json, jsonSuffix, qualityJsonUnit, &QualityOutputs::json);
  write(kinds_.plot, plotSuffix, trackingPlotUnit, &QualityOutputs::plot);
  counts_ = MessageCounts();
  stage_.reset();
  check_.emplace();
}

}  // namespace kapolex
