#include "qc_feed.hpp"

#include <stdexcept>

#include "common/file_handle.hpp"
#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "common/platform.hpp"
#include "measure/measurement_stage.hpp"
#include "qc/json_report.hpp"
#include "qc/text_report.hpp"
#include "qc/tracking_plot.hpp"
#include "receiver_log/message_counts.hpp"
#include "run/conversion.hpp"

namespace kapolex::testing {

namespace {

QualityReport check(LogReader& log, std::int32_t week, const QualityCheckSettings& settings) {
  MeasurementStage measurements({.week = week, .decodeDroppedEpochs = true});
  MessageCounts counts;
  QualityCheck quality(settings);
  convertMessages(log, {measurements, nullptr, &quality, counts});
  return quality.finish(counts);
}

template <class Writer>
std::string inMemory(const QualityReport& report, Writer write) {
  std::string text;
  {
    OutputSink sink(text, 3, "memory", 4096);
    write(sink, report);
    sink.flush();
  }
  return text;
}

}  // namespace

QualityReport checkLog(std::span<const std::uint8_t> bytes, std::int32_t week,
                       const QualityCheckSettings& settings) {
  LogReader log(bytes, "z.log");
  return check(log, week, settings);
}

QualityReport checkLogFile(const std::string& path, std::int32_t week,
                           const QualityCheckSettings& settings) {
  const platform::OpenedFile file = platform::openForReading(path);
  if (file.failure != platform::OpenFailure::none) throw std::runtime_error("cannot open " + path);
  const FileHandle handle(file.handle);
  LogReader log(path);
  MeasurementStage measurements({.week = week, .decodeDroppedEpochs = true});
  MessageCounts counts;
  QualityCheck quality(settings);
  convertFile(handle.get(), log, {measurements, nullptr, &quality, counts});
  return quality.finish(counts);
}

std::string textOf(const QualityReport& report) {
  return inMemory(report, writeTextReport);
}

std::string jsonOf(const QualityReport& report) {
  return inMemory(report, writeJsonReport);
}

std::string plotOf(const QualityReport& report) {
  return inMemory(report, writeTrackingPlot);
}

}  // namespace kapolex::testing
