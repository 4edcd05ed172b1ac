// What the quality check costs on top of the conversion: times, over one log
// file, the conversion loop as the program runs it (every kept epoch written
// to OBS, /dev/null unless given), the same loop with every usable epoch
// decoded in full, and that loop feeding every epoch to the check, then the
// reports and the plot written (to /dev/null). Runs alternate, and the
// medians, the ratio of the whole to the conversion and the extra time per
// channel record are printed. The log should be in the page cache (read it
// once).
//
// Usage: build-bench/bench/kapolex_qc_bench LOG [RUNS [OBS]]
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "measure/measurement_stage.hpp"
#include "qc/json_report.hpp"
#include "qc/quality_check.hpp"
#include "qc/text_report.hpp"
#include "qc/tracking_plot.hpp"
#include "receiver_log/message_counts.hpp"
#include "rinex/observation_writer.hpp"
#include "run/conversion.hpp"

namespace {

using namespace kapolex;
using Clock = std::chrono::steady_clock;

// Wall-clock and processor seconds (user and system) of one run: on a
// machine shared with other work the processor time varies less.
struct Spent {
  double wall = 0.0;
  double processor = 0.0;
};

double processorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times work(): wall clock and processor time.
template <class Work>
Spent timed(Work work) {
  const auto start = Clock::now();
  const double processorStart = processorSeconds();
  work();
  return {std::chrono::duration<double>(Clock::now() - start).count(),
          processorSeconds() - processorStart};
}

constexpr std::int32_t week = 1356;

FileHandle openLog(const std::string& path) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) throw std::runtime_error("cannot open " + path);
  return file;
}

std::string observationPath = "/dev/null";

OutputSink fileSink(const std::string& path, int unit) {
  FileHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!file) throw std::runtime_error("cannot open " + path);
  return OutputSink(std::move(file), unit, path, fileOutputBufferSize, false);
}

// The conversion alone, as the program's loop makes it.
void convertOnly(const std::string& path) {
  const FileHandle file = openLog(path);
  LogReader log(path);
  MeasurementStage measurements({.week = week});
  ObservationWriter observations(fileSink(observationPath, 2));
  MessageCounts counts;
  convertFile(file.get(), log, {measurements, &observations, nullptr, counts});
  observations.flush();
}

// The conversion with every usable epoch decoded in full, and checked when
// asked: the decoding alone is the part of the cost the check cannot avoid.
void convertAndCheck(const std::string& path, bool check, std::int64_t& channels) {
  const FileHandle file = openLog(path);
  LogReader log(path);
  MeasurementStage measurements({.week = week, .decodeDroppedEpochs = true});
  ObservationWriter observations(fileSink(observationPath, 2));
  MessageCounts counts;
  QualityCheck quality;
  convertFile(file.get(), log, {measurements, &observations, check ? &quality : nullptr, counts});
  observations.flush();
  const QualityReport report = quality.finish(counts);
  OutputSink out = fileSink("/dev/null", 3);
  writeTextReport(out, report);
  writeJsonReport(out, report);
  writeTrackingPlot(out, report);
  out.flush();
  if (check) channels = report.log.channelRecords;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Medians of the runs of one kind.
struct Medians {
  std::vector<Spent> runs;
  double wall() const { return medianOf(&Spent::wall); }
  double processor() const { return medianOf(&Spent::processor); }
  double medianOf(double Spent::*field) const {
    std::vector<double> values;
    for (const Spent& s : runs) values.push_back(s.*field);
    return median(values);
  }
};

int run(const std::string& path, int runs) {
  Medians alone;
  Medians decoded;
  Medians checked;
  std::int64_t channels = 0;
  for (int i = 0; i < runs; ++i) {
    // The order turns from run to run, so that none of the three always
    // follows the others' writes.
    for (int k = 0; k < 3; ++k) {
      switch ((i + k) % 3) {
        case 0:
          alone.runs.push_back(timed([&] { convertOnly(path); }));
          break;
        case 1:
          decoded.runs.push_back(timed([&] { convertAndCheck(path, false, channels); }));
          break;
        default:
          checked.runs.push_back(timed([&] { convertAndCheck(path, true, channels); }));
          break;
      }
    }
    std::printf(
        "run %d (wall/processor s): conversion %.3f/%.3f, decoding all epochs %.3f/%.3f, "
        "with the check %.3f/%.3f\n",
        i + 1, alone.runs.back().wall, alone.runs.back().processor, decoded.runs.back().wall,
        decoded.runs.back().processor, checked.runs.back().wall, checked.runs.back().processor);
  }
  const auto perRecord = [channels](double seconds) {
    return 1e9 * seconds / static_cast<double>(channels);
  };
  for (const bool wall : {true, false}) {
    const auto of = [wall](const Medians& m) { return wall ? m.wall() : m.processor(); };
    const double a = of(alone);
    const double d = of(decoded);
    const double c = of(checked);
    std::printf(
        "%s medians: conversion %.3f s, decoding all epochs %.3f s, with the check "
        "%.3f s; with the check / conversion %.3f; per channel record: decoding %.2f ns, "
        "check %.2f ns\n",
        wall ? "wall-clock" : "processor", a, d, c, c / a, perRecord(d - a), perRecord(c - d));
  }
  std::printf("%lld channel records\n", static_cast<long long>(channels));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: kapolex_qc_bench LOG [RUNS [OBS]]\n", stderr);
    return 2;
  }
  try {
    if (argc > 3) observationPath = argv[3];
    return run(argv[1], argc > 2 ? std::stoi(argv[2]) : 5);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kapolex_qc_bench: %s\n", e.what());
    return 1;
  }
}
