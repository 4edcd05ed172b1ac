// The text and JSON reports of one check agree figure for figure: each
// figure of the text is read back and compared with the JSON member the
// schema names for it, over a simulated log with every kind of fault and a
// log whose time repeats, runs back and crosses a week end. The JSON must be
// strict JSON.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qc_feed.hpp"
#include "support/json_value.hpp"
#include "support/log_builder.hpp"
#include "zlogsim_truth.hpp"

namespace kapolex::testing {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> wordsOf(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The value after a label of the log section.
std::string labelled(const std::vector<std::string>& lines, const std::string& label) {
  for (const std::string& line : lines) {
    if (line.rfind("  " + label + "  ", 0) == 0) {
      const std::size_t value = line.find_first_not_of(' ', label.size() + 2);
      return line.substr(value);
    }
  }
  ADD_FAILURE() << "no line " << label;
  return "";
}

// A JSON time as the text prints it: "W/S  YYYY-MM-DD hh:mm:ss.sssssss".
std::string timeText(const JsonValue& t) {
  return t["week"].text + "/" + t["seconds"].text + "  " + t["calendar"].text;
}

// The groups of a pattern that must match the whole text ("" for a group
// that took no part).
std::vector<std::string> matched(const std::string& text, const std::string& pattern) {
  std::smatch m;
  const bool whole = std::regex_match(text, m, std::regex(pattern));
  EXPECT_TRUE(whole) << text << " !~ " << pattern;
  std::vector<std::string> groups(std::regex(pattern).mark_count() + 1);
  for (std::size_t i = 0; whole && i < groups.size(); ++i) groups[i] = m[i].str();
  return groups;
}

void expectLogAgrees(const std::vector<std::string>& lines, const JsonValue& log) {
  EXPECT_EQ(labelled(lines, "first epoch"), timeText(log["first"]));
  EXPECT_EQ(labelled(lines, "last epoch"), timeText(log["last"]));
  EXPECT_EQ(labelled(lines, "interval"), log["interval_s"].text + " s");
  auto m = matched(labelled(lines, "epochs"), R"((\d+) present, (\d+) expected, (\d+) written)");
  EXPECT_EQ(m[1], log["epochs"].text);
  EXPECT_EQ(m[2], log["expected_epochs"].text);
  EXPECT_EQ(m[3], log["epochs_written"].text);
  const JsonValue& gaps = log["gaps"];
  m = matched(labelled(lines, "gaps"),
              R"((\d+), (\d+) epochs missing, longest (\d+)( from (.*))?)");
  EXPECT_EQ(m[1], gaps["count"].text);
  EXPECT_EQ(m[2], gaps["missing_epochs"].text);
  EXPECT_EQ(m[3], gaps["longest_epochs"].text);
  if (gaps["longest_start"].kind == JsonValue::Kind::null) {
    EXPECT_EQ(m[4], "");
  } else {
    EXPECT_EQ(m[5], timeText(gaps["longest_start"]));
  }
  m = matched(labelled(lines, "times"),
              R"((\d+) repeated, (\d+) backward, (\d+) week rollovers, (\d+) unusable)");
  EXPECT_EQ(m[1], log["repeated_times"].text);
  EXPECT_EQ(m[2], log["backward_times"].text);
  EXPECT_EQ(m[3], log["week_rollovers"].text);
  EXPECT_EQ(m[4], log["unusable_times"].text);
  EXPECT_EQ(labelled(lines, "unlisted steps"), log["unlisted_steps"].text);
  std::string messages;
  for (const JsonValue& tally : log["messages"].elements) {
    messages += (messages.empty() ? "" : ", ") + tally["id"].text + ": " + tally["count"].text;
  }
  EXPECT_EQ(labelled(lines, "messages by ID"), messages);
}

// The satellite rows follow the line that starts with "PRN   epochs".
void expectSatellitesAgree(const std::vector<std::string>& lines, const JsonValue& satellites) {
  std::size_t row = 0;
  while (row < lines.size() && lines[row].rfind("PRN   epochs", 0) != 0) ++row;
  ASSERT_LT(row, lines.size());
  for (const JsonValue& s : satellites.elements) {
    const std::vector<std::string> w = wordsOf(lines[++row]);
    ASSERT_EQ(w.size(), 14U) << lines[row];
    const JsonValue& cn0 = s["cn0_dbhz"];
    const std::vector<std::string> json = {
        s["prn"].text,
        s["epochs"].text,
        s["span_percent"].text,
        s["arcs"].text,
        s["first"]["week"].text + "/" + s["first"]["seconds"].text,
        s["last"]["week"].text + "/" + s["last"]["seconds"].text,
        s["loss_of_lock"].text,
        cn0["mean"].text,
        cn0["min"].text,
        cn0["max"].text,
        s["rollovers"].text,
        s["slips"].text,
        s["jump_noise_m"].text,
        s["slip_threshold_m"].text};
    EXPECT_EQ(w, json);
  }
  EXPECT_TRUE(lines[row + 1].empty()) << "a satellite in the text only: " << lines[row + 1];
}

void expectSlipsAgree(const std::vector<std::string>& lines, const JsonValue& slips) {
  std::size_t row = 0;
  while (row < lines.size() && lines[row].rfind("Suspected slips: ", 0) != 0) ++row;
  ASSERT_LT(row, lines.size());
  const JsonValue& listed = slips["listed"];
  EXPECT_EQ(lines[row], "Suspected slips: " + slips["total"].text + ", listed " +
                            std::to_string(listed.elements.size()));
  if (!listed.elements.empty()) ++row;  // the heading
  for (const JsonValue& s : listed.elements) {
    const std::vector<std::string> w = wordsOf(lines[++row]);
    const std::vector<std::string> json = {s["prn"].text,
                                           s["time"]["week"].text + "/" + s["time"]["seconds"].text,
                                           s["time"]["calendar"].text.substr(0, 10),
                                           s["time"]["calendar"].text.substr(11), s["jump_m"].text};
    EXPECT_EQ(w, json);
  }
}

void expectSummaryAgrees(const std::vector<std::string>& lines, const JsonValue& summary) {
  ASSERT_FALSE(lines.empty());
  const auto m = matched(lines.back(), R"(Summary: (\d+) satellites?, ([0-9.]+) per epoch, )"
                                       R"((\d+) suspected slips?, (\d+) gaps?)");
  EXPECT_EQ(m[1], summary["satellites"].text);
  EXPECT_EQ(m[2], summary["mean_satellites"].text);
  EXPECT_EQ(m[3], summary["slips"].text);
  EXPECT_EQ(m[4], summary["gaps"].text);
}

void expectReportsAgree(const QualityReport& report) {
  const std::vector<std::string> lines = linesOf(textOf(report));
  const JsonValue json = parseJson(jsonOf(report));
  EXPECT_EQ(json["format"].text, "kapolex quality check");
  EXPECT_EQ(json["version"].text, "1");
  expectLogAgrees(lines, json["log"]);
  expectSatellitesAgree(lines, json["satellites"]);
  expectSlipsAgree(lines, json["slips"]);
  expectSummaryAgrees(lines, json["summary"]);
  EXPECT_EQ(json["summary"]["gaps"].text, json["log"]["gaps"]["count"].text);
  EXPECT_EQ(json["summary"]["mean_satellites"].text, json["log"]["mean_satellites"].text);
}

TEST(QualityReports, TextAndJsonAgreeOnEveryFigure) {
  const SimulatedLog run = simulate({"-d", "3600", "--seed", "31", "--slips", "20", "--lock-loss",
                                     "10", "--code-noise", "0.5", "--outage", "500,20", "--outage",
                                     "1500,2", "--other-ids", "8,19,50", "--truth-rows", "no"});
  const QualityReport report = checkLog(run.log, 1356);
  ASSERT_GT(report.slips, 10);
  ASSERT_GT(report.log.gaps, 1);
  expectReportsAgree(report);
}

TEST(QualityReports, TextAndJsonAgreeOnTimeAnomalies) {
  LogBuilder log;
  // Whole receive times give a constant code minus carrier: no slips.
  const std::vector<ChannelRecord> channels = {{2, 180, 300000, carrierWord(5000, 0)},
                                               {16, 140, 400000, carrierWord(9000, 512)}};
  for (const double t : {604795.0, 604796.0, 604797.0, 604798.0, 604799.0, 0.0, 1.0, 2.0, 2.0, 3.0,
                         1.0, 2.0, 3.0, -1.0, 10.0, 11.0, 12.0}) {
    log.measurement(t, channels);
    log.other(8, 20);
  }
  const QualityReport report = checkLog(log.bytes(), 1400);
  expectReportsAgree(report);
  // The converter moves to the next week at the rollover and at the time
  // that runs back: the last epoch is two weeks on.
  const LogFigures& f = report.log;
  EXPECT_EQ(f.last.gps.week, 1402);
  EXPECT_EQ(f.epochs, 16);
  EXPECT_EQ(f.unusableTimes, 1);
  EXPECT_EQ(f.repeatedTimes, 1);
  EXPECT_EQ(f.backwardTimes, 1);
  EXPECT_EQ(f.weekRollovers, 1);
  EXPECT_EQ(f.interval, 1000000000);
  EXPECT_EQ(f.gaps, 1);
  EXPECT_EQ(f.gapEpochs, 6);
  EXPECT_EQ(f.expectedEpochs, 20);
  ASSERT_EQ(report.satellites.size(), 2U);
  for (const SatelliteFigures& s : report.satellites) {
    // Split where the time ran back and at the gap, not at the repeat.
    EXPECT_EQ(s.arcs, 3) << s.prn;
    EXPECT_EQ(s.slips, 0) << s.prn;
  }
}

// A damaged log may hold any usable receive time, down to the smallest
// subnormal; its seconds still print exactly, in both reports.
TEST(QualityReports, TextAndJsonAgreeOnExtremeReceiveTimes) {
  const std::vector<ChannelRecord> channels = {{7, 160, 300000, carrierWord(5000, 0)}};
  const double times[] = {std::numeric_limits<double>::denorm_min(), 1e-300, 0.25, 2.0};
  LogBuilder log;
  for (const double t : times) log.measurement(t, channels);
  const QualityReport report = checkLog(log.bytes(), 1356);
  expectReportsAgree(report);
  const JsonValue json = parseJson(jsonOf(report));
  EXPECT_EQ(std::strtod(json["log"]["first"]["seconds"].text.c_str(), nullptr), times[0]);
}

}  // namespace
}  // namespace kapolex::testing
