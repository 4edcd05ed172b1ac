#include "physical/physical_check.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>

#include "physical/point_positioning.hpp"
#include "physical/rinex_observation_reader.hpp"
#include "support/program_run.hpp"
#include "zlogsim/options.hpp"
#include "zlogsim/simulator.hpp"

namespace kapolex::physical {
namespace {

using kapolex::testing::ProgramResult;
using kapolex::testing::ScratchFolder;
using zlogsim::GpsTime;

constexpr double c = zlogsim::speedOfLight;
constexpr double wrapCycles = 1048576.0;
constexpr int reportedMismatches = 5;
// The arguments that ask kapolex for RINEX 3.04.
const std::vector<std::string> rinex3Arguments = {"--rinex-version", "3"};
// An epoch time is written with 7 decimals.
constexpr double printedTimeTolerance = 6e-8;

// A log epoch that the observation file must hold: on the 5-second grid of
// its receive time rounded to the whole second.
struct ExpectedEpoch {
  GpsTime reading;
  std::vector<std::string> satellites;
  std::vector<int> lossOfLock;
};

std::string satelliteName(int prn) {
  char name[4];
  std::snprintf(name, sizeof name, "G%02d", prn);
  return name;
}

std::string timeText(const CalendarTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%010.7f", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return text;
}

std::vector<ExpectedEpoch> keptLogEpochs(const zlogsim::LogSettings& settings) {
  std::vector<ExpectedEpoch> kept;
  zlogsim::Simulator sim(settings.simulation);
  for (std::uint64_t k = 0; k < settings.epochLimit; ++k) {
    const zlogsim::SimEpoch& e = sim.next();
    if (std::llround(e.reading.seconds) % 5 != 0) continue;
    ExpectedEpoch x{e.reading, {}, {}};
    for (std::size_t i = 0; i < e.body.channelCount; ++i) {
      x.satellites.push_back(satelliteName(e.truth[i].prn));
      x.lossOfLock.push_back(e.truth[i].trackingFlags != 0 ? 5 : 4);
    }
    kept.push_back(std::move(x));
  }
  return kept;
}

int typeIndex(const ObservationHeader& h, const std::string& type) {
  const auto at = std::find(h.observationTypes.begin(), h.observationTypes.end(), type);
  return at == h.observationTypes.end() ? -1 : static_cast<int>(at - h.observationTypes.begin());
}

std::optional<std::string> convertedObservations(const std::vector<std::string>& arguments,
                                                 const std::vector<std::string>& kapolexArguments,
                                                 const zlogsim::LogSettings& settings) {
  ScratchFolder folder;
  std::vector<std::string> simArguments = arguments;
  simArguments.insert(simArguments.end(), {"-o", "z.log"});
  const ProgramResult sim = kapolex::testing::runIn(folder, ZLOGSIM_BINARY, simArguments, "");
  if (sim.exitStatus != 0) {
    ADD_FAILURE() << "zlogsim failed: " << sim.err;
    return std::nullopt;
  }
  const std::string week = std::to_string(settings.simulation.start.week) + "\n";
  const ProgramResult run = kapolex::testing::runIn(folder, KAPOLEX_BINARY, kapolexArguments, week);
  if (run.exitStatus != 0 || !run.observations) {
    ADD_FAILURE() << "kapolex ended with status " << run.exitStatus << " signal " << run.signal
                  << ": " << run.err;
    return std::nullopt;
  }
  return run.observations;
}

}  // namespace

std::string describe(const PhysicalFindings& f) {
  std::ostringstream out;
  out << f.logEpochs << " log epochs, " << f.keptEpochs << " kept, " << f.observations
      << " observations, at least " << f.fewestSatellites << " satellites; position error max "
      << f.largestPositionError << " m (" << f.worstPositionEpoch << ", PDOP " << f.worstPositionDop
      << "; largest PDOP " << f.largestDop << "), clock error max " << f.largestClockError
      << " m, residual max " << f.largestResidual << " m; " << f.phasePairs << " phase pairs ("
      << f.lockLostPairs << " skipped for loss of lock, " << f.acquisitions
      << " acquisitions flagged), phase-code max " << f.largestPhaseMinusCode
      << " m, phase-model max " << f.largestPhaseMinusModel << " m, wraps " << f.upwardWraps
      << " up " << f.downwardWraps << " down; week changes " << f.weekChanges;
  return out.str();
}

std::optional<PhysicalFindings> checkConversion(const std::vector<std::string>& zlogsimArguments,
                                                const std::vector<std::string>& kapolexArguments) {
  std::vector<const char*> argv;
  for (const std::string& a : zlogsimArguments) argv.push_back(a.c_str());
  const zlogsim::ParseResult parsed = zlogsim::parseCommandLine(argv);
  if (!parsed.ok) {
    ADD_FAILURE() << "bad zlogsim arguments: " << parsed.error;
    return std::nullopt;
  }
  const zlogsim::LogSettings& settings = parsed.options.log;

  const std::optional<std::string> text =
      convertedObservations(zlogsimArguments, kapolexArguments, settings);
  if (!text) return std::nullopt;
  const ReadResult read = readObservationFile(*text);
  for (const std::string& p : read.problems) ADD_FAILURE() << "z.obs: " << p;
  if (!read.problems.empty()) return std::nullopt;
  const ObservationFile& file = read.file;
  const bool rinex3 =
      std::search(kapolexArguments.begin(), kapolexArguments.end(), rinex3Arguments.begin(),
                  rinex3Arguments.end()) != kapolexArguments.end();
  EXPECT_EQ(file.header.version, rinex3 ? "3.04" : "2.10");
  EXPECT_EQ(file.header.system, 'G');
  EXPECT_EQ(file.header.timeSystem, "GPS");
  const int l1 = typeIndex(file.header, rinex3 ? "L1C" : "L1");
  const int c1 = typeIndex(file.header, rinex3 ? "C1C" : "C1");
  if (l1 < 0 || c1 < 0) {
    ADD_FAILURE() << "z.obs does not announce L1 and C1";
    return std::nullopt;
  }

  const std::vector<ExpectedEpoch> expected = keptLogEpochs(settings);
  PhysicalFindings f;
  f.logEpochs = settings.epochLimit;
  f.keptEpochs = file.epochs.size();
  f.fewestSatellites = expected.empty() ? 0 : std::numeric_limits<std::size_t>::max();
  // Every log epoch on the grid, in log order, and nothing else.
  EXPECT_EQ(file.epochs.size(), expected.size()) << "kept epochs";
  if (file.epochs.size() != expected.size() || expected.empty()) return std::nullopt;

  const zlogsim::TruthModel truth(settings.simulation);
  const zlogsim::ReceiverClock& clock = truth.clock();
  int mismatches = 0;
  auto mismatch = [&mismatches](const std::string& what) {
    if (++mismatches <= reportedMismatches) ADD_FAILURE() << what;
  };

  // Per satellite, at the previous kept epoch: what the file says and what
  // the truth was.
  struct Previous {
    double phase = 0.0;
    double code = 0.0;
    double range = 0.0;
    double clockOffset = 0.0;
  };
  std::map<std::string, Previous> previousEpoch;
  std::optional<std::int32_t> previousWeek;

  for (std::size_t k = 0; k < file.epochs.size(); ++k) {
    const ObservationEpoch& e = file.epochs[k];
    const ExpectedEpoch& x = expected[k];
    const GpsTime reading = gpsTimeOf(e.time);
    const std::string when = timeText(e.time) + " (line " + std::to_string(e.line) + ")";
    // The epoch is dated by the receiver clock's reading.
    if (reading.week != x.reading.week ||
        std::fabs(reading.seconds - x.reading.seconds) > printedTimeTolerance) {
      mismatch("epoch " + when + " should be week " + std::to_string(x.reading.week) + " second " +
               std::to_string(x.reading.seconds));
      continue;
    }
    if (previousWeek && *previousWeek != reading.week) ++f.weekChanges;
    previousWeek = reading.week;
    if (e.flag != 0) mismatch("epoch " + when + " has flag " + std::to_string(e.flag));
    if (e.satellites != x.satellites) mismatch("epoch " + when + ": other satellites than the log");

    std::vector<PseudorangeObservation> observed;
    std::map<std::string, Previous> current;
    const GpsTime trueTime = clock.trueTimeOf(x.reading);
    const double trueOffset = clock.offsetAt(trueTime);
    for (std::size_t s = 0; s < e.satellites.size(); ++s) {
      const std::string& name = e.satellites[s];
      const Observation& phase = e.observations[s][static_cast<std::size_t>(l1)];
      const Observation& code = e.observations[s][static_cast<std::size_t>(c1)];
      if (!phase.value || !code.value) {
        mismatch("epoch " + when + ": " + name + " lacks L1 or C1");
        continue;
      }
      ++f.observations;
      if (phase.signalStrength < 1 || code.lossOfLock != -1 || code.signalStrength != -1) {
        mismatch("epoch " + when + ": " + name + " has no signal digit on L1 or digits on C1");
      }
      // RINEX 3 keeps bit 0 alone: its bit 2 is not anti-spoofing.
      const int expectedLossOfLock =
          s < x.lossOfLock.size() ? (rinex3 ? x.lossOfLock[s] & 1 : x.lossOfLock[s]) : -1;
      if (s < x.lossOfLock.size() && phase.lossOfLock != expectedLossOfLock) {
        mismatch("epoch " + when + ": " + name + " loss of lock " +
                 std::to_string(phase.lossOfLock));
      }
      const int prn = std::stoi(name.substr(1));
      observed.push_back({prn, *code.value});
      const double range = truth.signal(prn, trueTime).range;
      current[name] = {*phase.value, *code.value, range, trueOffset};

      // RINEX loss-of-lock bit 0: a cycle slip may lie between this epoch
      // and the one before, as after a (re-)acquisition.
      const bool lockLost = phase.lossOfLock >= 0 && (phase.lossOfLock & 1) != 0;
      if (lockLost) ++f.acquisitions;
      const auto before = previousEpoch.find(name);
      if (before == previousEpoch.end()) continue;
      if (lockLost) {
        ++f.lockLostPairs;
        continue;
      }
      ++f.phasePairs;
      const Previous& p = before->second;
      const double phaseChange = (*phase.value - p.phase) * zlogsim::l1Wavelength;
      const double codeChange = *code.value - p.code;
      const double modelChange = (range - p.range) + c * (trueOffset - p.clockOffset);
      f.largestPhaseMinusCode =
          std::max(f.largestPhaseMinusCode, std::fabs(phaseChange - codeChange));
      f.largestPhaseMinusModel =
          std::max(f.largestPhaseMinusModel, std::fabs(phaseChange - modelChange));
      // The written phase is the raw phase plus whole 2^20-cycle turns, so it
      // crosses a multiple of 2^20 exactly where the raw phase wrapped.
      const double turnBefore = std::floor(p.phase / wrapCycles);
      const double turnAfter = std::floor(*phase.value / wrapCycles);
      if (turnAfter > turnBefore) ++f.upwardWraps;
      if (turnAfter < turnBefore) ++f.downwardWraps;
    }
    previousEpoch = std::move(current);

    f.fewestSatellites = std::min(f.fewestSatellites, observed.size());
    const auto solution = solvePointPosition(truth.constellation(), reading, observed);
    if (!solution) {
      mismatch("epoch " + when + ": no position from " + std::to_string(observed.size()) +
               " satellites");
      continue;
    }
    const double positionError = zlogsim::norm(solution->position - truth.receiver());
    if (positionError >= f.largestPositionError) {
      f.largestPositionError = positionError;
      f.worstPositionEpoch = when;
      f.worstPositionDop = solution->positionDop;
    }
    f.largestDop = std::max(f.largestDop, solution->positionDop);
    f.largestClockError =
        std::max(f.largestClockError, c * std::fabs(solution->clockOffset - trueOffset));
    for (double r : solution->residuals)
      f.largestResidual = std::max(f.largestResidual, std::fabs(r));
  }
  if (mismatches > reportedMismatches) {
    ADD_FAILURE() << mismatches - reportedMismatches << " further mismatches not shown";
  }
  return f;
}

}  // namespace kapolex::physical
