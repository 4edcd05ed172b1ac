// The truth file of the real program against a recount of the log it wrote,
// made here from the log bytes alone (and, for slips, the injected events).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.hpp"

namespace {

using kapolex::testing::ScratchFolder;

constexpr double c = 299792458.0;
constexpr double lambda = c / 1575.42e6;
constexpr double codeUnit = 4.773032746823069e-10;

struct Record {
  int prn = 0;
  std::int32_t codePhase = 0;
  std::uint32_t word = 0;
};

struct Epoch {
  int week = 0;
  double sow = 0.0;
  std::vector<Record> records;
  double since(const Epoch& e) const { return (week - e.week) * 604800.0 + (sow - e.sow); }
};

std::uint32_t le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The measurement epochs a reader takes from the log: whole messages, in
// order; a message cut short by the end is not one.
std::vector<Epoch> readLog(const std::string& log, int week) {
  std::vector<Epoch> epochs;
  std::size_t at = 0;
  while (at + 6 <= log.size()) {
    const auto id = static_cast<unsigned char>(log[at + 1]);
    const auto length = static_cast<unsigned char>(log[at + 3]);
    if (log[at] != 1 || ((id + static_cast<unsigned char>(log[at + 2])) & 0xFF) != 0xFF) {
      ADD_FAILURE() << "bad frame at " << at;
      break;
    }
    if (at + 6 + length > log.size()) break;
    if (id == 23 || id == 151) {
      const std::size_t body = at + 4;
      Epoch e;
      std::memcpy(&e.sow, &log[body + 3], 8);  // the host is little-endian like the log
      if (!epochs.empty() && e.sow < epochs.back().sow) ++week;
      e.week = week;
      for (int n = 0; n < static_cast<unsigned char>(log[body + 2]); ++n) {
        const std::size_t r = body + 11 + 11 * static_cast<std::size_t>(n);
        e.records.push_back(
            {(log[r] & 0x3F) + 1, static_cast<std::int32_t>(le32(log, r + 2)), le32(log, r + 6)});
      }
      epochs.push_back(std::move(e));
    }
    at += 6 + length;
  }
  return epochs;
}

using Fields = std::map<std::string, std::string>;

// The keyword lines of a truth file, by keyword, each as its key=value fields.
std::multimap<std::string, Fields> keywordLines(const std::string& truth) {
  std::multimap<std::string, Fields> lines;
  std::istringstream in(truth);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || std::isdigit(static_cast<unsigned char>(line[0]))) {
      continue;
    }
    std::istringstream words(line);
    std::string keyword;
    std::string word;
    words >> keyword;
    Fields f;
    while (words >> word) {
      const std::size_t eq = word.find('=');
      f[word.substr(0, eq)] = word.substr(eq + 1);
    }
    lines.emplace(keyword, f);
  }
  return lines;
}

// "W/S" as an epoch to compare with one read from the log.
void expectTime(const std::string& text, const Epoch& e, const std::string& what) {
  const std::size_t slash = text.find('/');
  ASSERT_NE(slash, std::string::npos) << what;
  EXPECT_EQ(std::stoi(text.substr(0, slash)), e.week) << what;
  EXPECT_EQ(std::stod(text.substr(slash + 1)), e.sow) << what;
}

double pseudorange(double t, std::int32_t codePhase) {
  double x = std::fmod(t, 1.0) - codePhase * codeUnit;
  if (x < 0.0) x += 1.0;
  return x * c;
}

double raw(std::uint32_t word) {
  return static_cast<double>(word >> 12) + static_cast<double>((word >> 2) & 0x3FFU) / 1024.0;
}

struct Satellite {
  std::uint64_t epochs = 0, arcs = 0, lol = 0, rollovers = 0, slips = 0;
  Epoch first, last;
  long lastIndex = 0;
  double previousRaw = 0.0;
  std::uint32_t lastWord = 0;
  double lastCode = 0.0;
  std::vector<std::pair<double, long>> slipEvents;  // seconds since the first epoch, cycles
  std::size_t nextSlip = 0;
};

struct ZlogsimRun {
  std::vector<Epoch> epochs;
  std::multimap<std::string, Fields> truth;
  std::string truthText;
};

ZlogsimRun runZlogsim(std::vector<std::string> args, int week) {
  ScratchFolder folder;
  args.insert(args.end(), {"-o", "z.log", "--truth", "t.txt"});
  const auto result = kapolex::testing::runIn(folder, ZLOGSIM_BINARY, args, std::nullopt);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  ZlogsimRun run;
  run.epochs = readLog(folder.read("z.log").value_or(""), week);
  run.truthText = folder.read("t.txt").value_or("");
  run.truth = keywordLines(run.truthText);
  return run;
}

// Recounts the per-satellite figures from the log and compares them with the
// truth's satellite lines. A record counts as slipped when it continues its
// arc without a tracking flag and slips were injected since the PRN's
// previous record; code minus carrier must then have jumped by them.
void checkSatellites(const ZlogsimRun& run, const Epoch& start) {
  std::map<int, Satellite> sats;
  for (const auto& [keyword, f] : run.truth) {
    if (keyword != "slip") continue;
    const Epoch at{std::stoi(f.at("week")), std::stod(f.at("sow")), {}};
    sats[std::stoi(f.at("prn"))].slipEvents.emplace_back(at.since(start),
                                                         std::stol(f.at("cycles")));
  }
  for (auto& [prn, s] : sats) {
    std::sort(s.slipEvents.begin(), s.slipEvents.end());
  }
  for (const Epoch& e : run.epochs) {
    const double t = e.since(start);
    const long index = std::lround(t);
    for (const Record& r : e.records) {
      Satellite& s = sats[r.prn];
      long slipped = 0;
      while (s.nextSlip < s.slipEvents.size() && s.slipEvents[s.nextSlip].first <= t) {
        slipped += s.slipEvents[s.nextSlip++].second;
      }
      const double code = pseudorange(e.sow, r.codePhase);
      const bool continues = s.epochs > 0 && index - s.lastIndex <= 2;
      if (!continues) {
        ++s.arcs;
      } else if ((r.word & 3U) == 0) {
        double phaseStep = raw(r.word) - raw(s.lastWord);
        phaseStep -= 1048576.0 * std::round(phaseStep / 1048576.0);
        const double jump = (code - s.lastCode) - lambda * phaseStep;
        EXPECT_NEAR(jump, -lambda * static_cast<double>(slipped), 0.15)
            << "PRN " << r.prn << " at " << e.sow;
        if (slipped != 0) ++s.slips;
      }
      if (s.epochs++ == 0) s.first = e;
      s.last = e;
      s.lastIndex = index;
      s.lastWord = r.word;
      s.lastCode = code;
      if ((r.word & 3U) != 0) ++s.lol;
      const double jump = raw(r.word) - s.previousRaw;
      if (jump > 943718.4 || jump < -943718.4) ++s.rollovers;
      s.previousRaw = raw(r.word);
    }
  }
  std::size_t lines = 0;
  for (const auto& [keyword, f] : run.truth) {
    if (keyword != "satellite") continue;
    ++lines;
    const Satellite& s = sats[std::stoi(f.at("prn"))];
    const std::string what = "PRN " + f.at("prn");
    EXPECT_EQ(f.at("epochs"), std::to_string(s.epochs)) << what;
    EXPECT_EQ(f.at("arcs"), std::to_string(s.arcs)) << what;
    EXPECT_EQ(f.at("lol"), std::to_string(s.lol)) << what;
    EXPECT_EQ(f.at("rollovers"), std::to_string(s.rollovers)) << what;
    EXPECT_EQ(f.at("slips"), std::to_string(s.slips)) << what;
    expectTime(f.at("first"), s.first, what);
    expectTime(f.at("last"), s.last, what);
  }
  std::size_t seen = 0;
  for (const auto& [prn, s] : sats) seen += s.epochs > 0 ? 1 : 0;
  EXPECT_EQ(lines, seen);
}

// The log line against a recount of the epochs at a 1-second interval.
void checkLogLine(const ZlogsimRun& run) {
  ASSERT_EQ(run.truth.count("log"), 1U);
  const Fields& f = run.truth.find("log")->second;
  const std::vector<Epoch>& es = run.epochs;
  ASSERT_FALSE(es.empty());
  std::uint64_t gaps = 0, gapEpochs = 0, longest = 0;
  Epoch longestStart;
  for (std::size_t i = 1; i < es.size(); ++i) {
    const double step = es[i].since(es[i - 1]);
    if (step <= 1.5) continue;
    const auto missing = static_cast<std::uint64_t>(std::lround(step)) - 1;
    ++gaps;
    gapEpochs += missing;
    if (missing > longest) {
      longest = missing;
      longestStart = es[i - 1];
      longestStart.sow += 1.0;
      if (longestStart.sow >= 604800.0) longestStart = {es[i - 1].week + 1, 0.0, {}};
    }
  }
  expectTime(f.at("first"), es.front(), "first");
  expectTime(f.at("last"), es.back(), "last");
  EXPECT_EQ(f.at("interval"), "1");
  EXPECT_EQ(f.at("epochs"), std::to_string(es.size()));
  EXPECT_EQ(f.at("expected"), std::to_string(std::lround(es.back().since(es.front())) + 1));
  EXPECT_EQ(f.at("gaps"), std::to_string(gaps));
  EXPECT_EQ(f.at("gap_epochs"), std::to_string(gapEpochs));
  EXPECT_EQ(f.at("longest_gap_epochs"), std::to_string(longest));
  if (gaps > 0) expectTime(f.at("longest_gap_start"), longestStart, "longest gap");
}

TEST(TruthFile, FiguresMatchARecountOfTheWrittenLog) {
  // Outages at the start and across the week end, and a cut last message.
  const ZlogsimRun run =
      runZlogsim({"--sow",    "603000",    "-d",         "7200",         "--seed",      "4",
                  "--other",  "0.5",       "--slips",    "30",           "--lock-loss", "20",
                  "--outage", "0,3",       "--outage",   "600,1",        "--outage",    "1200,2",
                  "--outage", "1800,95.5", "--truncate", "--truth-rows", "no"},
                 1356);
  ASSERT_GT(run.epochs.size(), 7000U);
  EXPECT_EQ(run.truthText.find("\n0,"), std::string::npos) << "no CSV rows were asked for";
  checkLogLine(run);
  checkSatellites(run, {1356, 603000.0, {}});
  std::vector<std::string> outages;
  for (const auto& [keyword, f] : run.truth) {
    if (keyword == "outage")
      outages.push_back(f.at("week") + "/" + f.at("sow") + " " + f.at("epochs"));
  }
  const std::vector<std::string> expected = {"1356/603000 3", "1356/603600 1", "1356/604200 2",
                                             "1357/0 96"};
  EXPECT_EQ(outages, expected);
  EXPECT_GT(run.truth.count("slip"), 200U);
  EXPECT_GT(run.truth.count("lockloss"), 100U);
  EXPECT_GT(run.truth.count("arc"), run.truth.count("satellite"));
}

TEST(TruthFile, CleanLogHasItsRowsAndNoFaults) {
  const ZlogsimRun run = runZlogsim({"-d", "600", "--seed", "9", "--rate", "2"}, 1356);
  std::size_t rows = 0;
  std::istringstream in(run.truthText);
  for (std::string line; std::getline(in, line);) {
    rows += !line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) ? 1 : 0;
  }
  std::size_t records = 0;
  for (const Epoch& e : run.epochs) records += e.records.size();
  EXPECT_EQ(rows, records);
  const Fields& log = run.truth.find("log")->second;
  EXPECT_EQ(log.at("interval"), "0.5");
  EXPECT_EQ(log.at("epochs"), "1200");
  EXPECT_EQ(log.at("expected"), "1200");
  EXPECT_EQ(log.at("gaps"), "0");
  EXPECT_EQ(log.at("longest_gap_start"), "-");
  EXPECT_EQ(run.truth.count("slip") + run.truth.count("lockloss") + run.truth.count("outage"), 0U);
  for (const auto& [keyword, f] : run.truth) {
    if (keyword == "satellite") {
      EXPECT_EQ(f.at("slips"), "0");
    }
  }
}

}  // namespace
