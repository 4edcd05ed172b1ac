#include "qc/json_report.hpp"

#include <string>
#include <vector>

#include "qc/report_format.hpp"

namespace kapolex {

namespace {

// Writes members and elements with their commas and indentation. Every
// name and string the report writes is plain ASCII without quotes or
// backslashes, so no escaping is needed.
class JsonWriter {
 public:
  explicit JsonWriter(OutputSink& out) : out_(out) {}

  void open(const std::string& name, char bracket) {
    start(name);
    out_.write(std::string(1, bracket));
    first_.push_back(true);
  }
  void close(char bracket) {
    first_.pop_back();
    std::string text = "\n";
    text.append(2 * first_.size(), ' ');
    text += bracket;
    out_.write(text);
  }
  // A number, already formatted.
  void number(const std::string& name, const std::string& digits) {
    start(name);
    out_.write(digits);
  }
  void number(const std::string& name, std::int64_t value) { number(name, std::to_string(value)); }
  void text(const std::string& name, const std::string& value) {
    start(name);
    out_.write(joined("\"", value, "\""));
  }
  void null(const std::string& name) {
    start(name);
    out_.write("null");
  }

 private:
  std::string indent() const { return std::string(2 * first_.size(), ' '); }
  // The comma before a member, its indentation and its name (none inside an array).
  void start(const std::string& name) {
    if (first_.empty()) return;
    out_.write(first_.back() ? "\n" : ",\n");
    first_.back() = false;
    out_.write(indent());
    if (!name.empty()) out_.write(joined("\"", name, "\": "));
  }

  OutputSink& out_;
  std::vector<bool> first_;
};

void time(JsonWriter& json, const std::string& name, const ReportTime& t) {
  json.open(name, '{');
  json.number("week", t.gps.week);
  json.number("seconds", shortestDecimal(t.gps.secondsOfWeek));
  json.text("calendar", calendarText(t.calendar));
  json.close('}');
}

void gaps(JsonWriter& json, const LogFigures& log) {
  json.open("gaps", '{');
  json.number("count", log.gaps);
  json.number("missing_epochs", log.gapEpochs);
  json.number("longest_epochs", log.longestGapEpochs);
  if (log.longestGapEpochs > 0) {
    time(json, "longest_start", log.longestGapStart);
  } else {
    json.null("longest_start");
  }
  json.close('}');
}

void logMembers(JsonWriter& json, const LogFigures& log) {
  json.open("log", '{');
  if (log.hasEpochs) {
    time(json, "first", log.first);
    time(json, "last", log.last);
  } else {
    json.null("first");
    json.null("last");
  }
  json.number("interval_s", exactSeconds(log.interval));
  json.number("epochs", log.epochs);
  json.number("expected_epochs", log.expectedEpochs);
  json.number("epochs_written", log.epochsWritten);
  gaps(json, log);
  json.number("repeated_times", log.repeatedTimes);
  json.number("backward_times", log.backwardTimes);
  json.number("week_rollovers", log.weekRollovers);
  json.number("unusable_times", log.unusableTimes);
  json.number("unlisted_steps", log.unlistedSteps);
  json.number("channel_records", log.channelRecords);
  json.number("mean_satellites", fixedDecimal(log.meanSatellites, 2));
  json.open("messages", '[');
  for (const MessageTally& m : log.messages) {
    json.open("", '{');
    json.number("id", m.id);
    json.number("count", m.count);
    json.close('}');
  }
  json.close(']');
  json.close('}');
}

void satellite(JsonWriter& json, const SatelliteFigures& s) {
  json.open("", '{');
  json.number("prn", s.prn);
  json.number("epochs", s.epochs);
  json.number("span_percent", fixedDecimal(100.0 * s.spanShare, 1));
  json.number("arcs", s.arcs);
  time(json, "first", s.first);
  time(json, "last", s.last);
  json.number("loss_of_lock", s.lossOfLock);
  json.open("cn0_dbhz", '{');
  json.number("mean", fixedDecimal(s.carrierToNoiseMean, 2));
  json.number("min", shortestDecimal(s.carrierToNoiseMin));
  json.number("max", shortestDecimal(s.carrierToNoiseMax));
  json.close('}');
  json.number("rollovers", s.rollovers);
  json.number("slips", s.slips);
  json.number("jump_noise_m", fixedDecimal(s.jumpNoise, 3));
  json.number("slip_threshold_m", fixedDecimal(s.slipThreshold, 3));
  json.close('}');
}

void slips(JsonWriter& json, const QualityReport& report) {
  json.open("slips", '{');
  json.number("total", report.slips);
  json.open("listed", '[');
  for (const SuspectedSlip& s : report.listedSlips) {
    json.open("", '{');
    json.number("prn", s.prn);
    time(json, "time", s.at);
    json.number("jump_m", fixedDecimal(s.jump, 3));
    json.close('}');
  }
  json.close(']');
  json.close('}');
}

void summary(JsonWriter& json, const QualityReport& report) {
  json.open("summary", '{');
  json.number("satellites", static_cast<std::int64_t>(report.satellites.size()));
  json.number("mean_satellites", fixedDecimal(report.log.meanSatellites, 2));
  json.number("slips", report.slips);
  json.number("gaps", report.log.gaps);
  json.close('}');
}

}  // namespace

void writeJsonReport(OutputSink& out, const QualityReport& report) {
  JsonWriter json(out);
  json.open("", '{');
  json.text("format", "kapolex quality check");
  json.number("version", qualityJsonVersion);
  logMembers(json, report.log);
  json.open("satellites", '[');
  for (const SatelliteFigures& s : report.satellites) satellite(json, s);
  json.close(']');
  slips(json, report);
  summary(json, report);
  json.close('}');
  out.write("\n");
}

}  // namespace kapolex
