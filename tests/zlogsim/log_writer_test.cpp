// Whole logs: framing, determinism, interleaving, damage and size limits.
#include "zlogsim/log_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <vector>

namespace zlogsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Written {
  Bytes log;
  LogSummary summary;
  std::vector<DamageEvent> damage;
  std::vector<std::uint64_t> epochOffsets;
  std::vector<double> receiveTimes;
  std::vector<std::uint64_t> silent;
};

Written run(const LogSettings& settings) {
  Written w;
  LogHooks hooks;
  hooks.write = [&w](std::span<const std::uint8_t> chunk) {
    w.log.insert(w.log.end(), chunk.begin(), chunk.end());
    return true;
  };
  hooks.epoch = [&w](const SimEpoch& e, std::uint64_t offset) {
    w.epochOffsets.push_back(offset);
    w.receiveTimes.push_back(e.body.receiveTime);
  };
  hooks.damage = [&w](const DamageEvent& e) { w.damage.push_back(e); };
  hooks.silent = [&w](const SimEpoch& e) { w.silent.push_back(e.index); };
  w.summary = writeLog(settings, hooks);
  return w;
}

LogSettings shortLog() {
  LogSettings s;
  s.epochLimit = 300;
  s.simulation.seed = 11;
  return s;
}

struct Message {
  std::size_t offset;
  std::uint8_t id;
  Bytes body;
};

// Reads an undamaged log strictly by its framing; any inconsistency fails.
std::vector<Message> frames(const Bytes& log) {
  std::vector<Message> out;
  std::size_t at = 0;
  while (at < log.size()) {
    EXPECT_LE(at + 6, log.size());
    if (at + 6 > log.size()) break;
    EXPECT_EQ(log[at], 0x01) << "at " << at;
    EXPECT_EQ((log[at + 1] + log[at + 2]) % 256, 255) << "at " << at;
    const std::size_t length = log[at + 3];
    EXPECT_LE(at + 6 + length, log.size());
    if (at + 6 + length > log.size()) break;
    Message m{at, log[at + 1],
              Bytes(log.begin() + static_cast<long>(at + 4),
                    log.begin() + static_cast<long>(at + 4 + length))};
    unsigned sum = m.id + static_cast<unsigned>(length);
    for (std::uint8_t b : m.body) sum += b;
    EXPECT_EQ(log[at + 4 + length] | (log[at + 5 + length] << 8), sum & 0xFFFF);
    out.push_back(std::move(m));
    at += 6 + length;
  }
  return out;
}

std::vector<Message> measurements(const std::vector<Message>& all) {
  std::vector<Message> out;
  for (const Message& m : all) {
    if (m.id == 23 || m.id == 151) out.push_back(m);
  }
  return out;
}

TEST(LogWriter, CleanLogIsOneWellFramedMeasurementMessagePerEpoch) {
  const Written w = run(shortLog());
  const std::vector<Message> all = frames(w.log);
  ASSERT_EQ(all.size(), 300U);
  EXPECT_EQ(w.summary.epochs, 300U);
  EXPECT_EQ(w.summary.bytes, w.log.size());
  EXPECT_EQ(w.summary.intactMessages[23], 300U);
  for (std::size_t k = 0; k < all.size(); ++k) {
    const Message& m = all[k];
    EXPECT_EQ(m.id, 23);
    EXPECT_EQ(m.offset, w.epochOffsets[k]);
    ASSERT_GE(m.body.size(), 11U);
    EXPECT_EQ(m.body.size(), 11U + 11U * m.body[2]);
    double t = 0.0;
    std::memcpy(&t, &m.body[3], 8);  // the host is little-endian like the log
    EXPECT_EQ(t, w.receiveTimes[k]);
    EXPECT_EQ(t, static_cast<double>(k));
  }
}

TEST(LogWriter, SameSeedGivesTheSameBytesAndAnotherSeedDoesNot) {
  LogSettings s = shortLog();
  s.otherPerEpoch = 1.0;
  s.garbageProbability = 0.05;
  s.corruptProbability = 0.05;
  const Bytes a = run(s).log;
  EXPECT_EQ(a, run(s).log);
  s.simulation.seed = 12;
  EXPECT_NE(a, run(s).log);
}

TEST(LogWriter, InterleavedMessagesLeaveTheMeasurementsUntouched) {
  LogSettings s = shortLog();
  const std::vector<Message> clean = frames(run(s).log);
  s.otherPerEpoch = 1.5;
  const Written w = run(s);
  const std::vector<Message> all = frames(w.log);
  ASSERT_GT(all.size(), clean.size() * 2);
  const std::vector<Message> kept = measurements(all);
  ASSERT_EQ(kept.size(), clean.size());
  for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].body, clean[k].body) << k;
  std::array<std::uint64_t, 256> counted{};
  bool emptyBody = false;
  for (const Message& m : all) {
    if (!m.body.empty()) ++counted[m.id];
    emptyBody = emptyBody || m.body.empty();
  }
  EXPECT_EQ(counted, w.summary.intactMessages);
  EXPECT_TRUE(emptyBody) << "some other messages must have no body";
  EXPECT_EQ(counted[151], 0U);
}

TEST(LogWriter, OtherMessagesTakeOnlyTheListedIdsAndLeaveTheMeasurementsAlone) {
  LogSettings s = shortLog();
  const std::vector<Message> clean = frames(run(s).log);
  s.otherPerEpoch = 2.0;
  s.otherIds = {8, 19, 50};
  const Written w = run(s);
  const std::vector<Message> all = frames(w.log);
  const std::vector<Message> kept = measurements(all);
  ASSERT_EQ(kept.size(), clean.size());
  for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(kept[k].body, clean[k].body) << k;
  std::array<std::uint64_t, 256> seen{};
  for (const Message& m : all) ++seen[m.id];
  for (std::size_t id = 0; id < seen.size(); ++id) {
    const bool listed = id == 8 || id == 19 || id == 50;
    if (listed) {
      EXPECT_GT(seen[id], 100U) << "id " << id;
    } else if (id != 23) {
      EXPECT_EQ(seen[id], 0U) << "id " << id;
    }
  }
}

TEST(LogWriter, GarbageIsOnlyInsertedAndRemovingItRestoresTheCleanLog) {
  LogSettings s = shortLog();
  s.otherPerEpoch = 0.5;
  const Bytes clean = run(s).log;
  s.garbageProbability = 0.2;
  const Written w = run(s);
  ASSERT_GT(w.damage.size(), 20U);
  Bytes stripped;
  std::size_t at = 0;
  for (const DamageEvent& e : w.damage) {
    ASSERT_EQ(e.kind, DamageKind::garbage);
    ASSERT_GE(e.length, 1U);
    ASSERT_LE(e.length, maxGarbageBytes);
    stripped.insert(stripped.end(), w.log.begin() + static_cast<long>(at),
                    w.log.begin() + static_cast<long>(e.offset));
    at = e.offset + e.length;
  }
  stripped.insert(stripped.end(), w.log.begin() + static_cast<long>(at), w.log.end());
  EXPECT_EQ(stripped, clean);
}

TEST(LogWriter, CorruptionChangesExactlyTheReportedHeaderBytes) {
  LogSettings s = shortLog();
  s.otherPerEpoch = 0.5;
  const Written clean = run(s);
  s.corruptProbability = 0.2;
  const Written w = run(s);
  ASSERT_EQ(w.log.size(), clean.log.size());
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < w.log.size(); ++i) {
    if (w.log[i] != clean.log[i]) changed.push_back(i);
  }
  ASSERT_EQ(changed.size(), w.damage.size());
  std::set<DamageKind> kinds;
  std::uint64_t intact = 0;
  for (std::uint64_t n : w.summary.intactMessages) intact += n;
  std::uint64_t cleanIntact = 0;
  for (std::uint64_t n : clean.summary.intactMessages) cleanIntact += n;
  for (std::size_t i = 0; i < changed.size(); ++i) {
    const DamageEvent& e = w.damage[i];
    EXPECT_EQ(e.offset, changed[i]);
    kinds.insert(e.kind);
    const std::uint8_t was = clean.log[e.offset];
    switch (e.kind) {
      case DamageKind::sync:
        EXPECT_EQ(was, 0x01);
        break;
      case DamageKind::complement:
        EXPECT_EQ((clean.log[e.offset - 1] + was) % 256, 255);
        break;
      case DamageKind::length:
        EXPECT_EQ(clean.log[e.offset - 3], 0x01);
        break;
      default:
        ADD_FAILURE() << "unexpected damage kind";
    }
  }
  EXPECT_EQ(kinds.size(), 3U);
  EXPECT_LT(intact, cleanIntact);
  EXPECT_GE(intact + w.damage.size(), cleanIntact);
}

TEST(LogWriter, TruncationCutsTheLastMeasurementMessageShort) {
  LogSettings s = shortLog();
  const Written clean = run(s);
  s.truncateEnd = true;
  const Written w = run(s);
  ASSERT_EQ(w.damage.size(), 1U);
  const DamageEvent& e = w.damage[0];
  EXPECT_EQ(e.kind, DamageKind::truncation);
  EXPECT_EQ(e.offset, w.log.size());
  EXPECT_EQ(w.log.size() + e.length, clean.log.size());
  EXPECT_TRUE(std::equal(w.log.begin(), w.log.end(), clean.log.begin()));
  const std::uint64_t lastStart = clean.epochOffsets.back();
  EXPECT_GT(w.log.size(), lastStart) << "at least one byte of the last message stays";
  EXPECT_EQ(w.summary.bytes, w.log.size());
}

TEST(LogWriter, SizeLimitKeepsWholeMessagesOnly) {
  LogSettings s = shortLog();
  s.otherPerEpoch = 0.7;
  s.truncateEnd = false;
  const Written clean = run(s);
  auto endOf = [&clean](std::size_t k) {
    const std::uint64_t at = clean.epochOffsets[k];
    return at + clean.log[at + 3] + 6U;
  };
  // Epoch 10's group (its other messages, then its measurement) is all or nothing.
  for (std::uint64_t limit : {endOf(9), endOf(9) + 1, endOf(10) - 1}) {
    s.sizeLimit = limit;
    const Written w = run(s);
    EXPECT_EQ(w.summary.epochs, 10U) << limit;
    EXPECT_EQ(w.log.size(), endOf(9)) << limit;
    EXPECT_TRUE(std::equal(w.log.begin(), w.log.end(), clean.log.begin()));
  }
  s.sizeLimit = endOf(10);
  EXPECT_EQ(run(s).summary.epochs, 11U);
  s.sizeLimit = endOf(9) - 1;
  EXPECT_EQ(run(s).summary.epochs, 9U);
}

TEST(LogWriter, OutagesLeaveOutExactlyTheEpochsInTheirWindows) {
  LogSettings s = shortLog();
  s.otherPerEpoch = 1.0;
  s.garbageProbability = 0.05;
  s.corruptProbability = 0.05;
  const Written clean = run(s);
  // Epoch k's group: its other messages and garbage, then its measurement,
  // whose channel count (body byte 2) no damage touches.
  std::vector<std::size_t> groupEnd;
  for (std::uint64_t at : clean.epochOffsets) groupEnd.push_back(at + 17 + 11 * clean.log[at + 6]);
  ASSERT_EQ(groupEnd.back(), clean.log.size());
  // Overlapping windows, a start between epochs, and one past the end.
  s.outages = {{10.0, 5.0}, {12.0, 1.0}, {40.5, 1.0}, {299.0, 10.0}};
  const std::vector<std::uint64_t> silent = {10, 11, 12, 13, 14, 41, 299};
  Bytes expected;
  for (std::size_t k = 0; k < groupEnd.size(); ++k) {
    if (std::find(silent.begin(), silent.end(), k) != silent.end()) continue;
    const std::size_t begin = k == 0 ? 0 : groupEnd[k - 1];
    expected.insert(expected.end(), clean.log.begin() + static_cast<long>(begin),
                    clean.log.begin() + static_cast<long>(groupEnd[k]));
  }
  const Written w = run(s);
  EXPECT_EQ(w.log, expected);
  EXPECT_EQ(w.silent, silent);
  EXPECT_EQ(w.summary.epochs, 300U - silent.size());
  EXPECT_EQ(w.summary.silentEpochs, silent.size());
  EXPECT_EQ(w.receiveTimes.size(), w.summary.epochs);
}

TEST(LogWriter, ReportsARefusedWrite) {
  LogSettings s = shortLog();
  LogHooks hooks;
  hooks.write = [](std::span<const std::uint8_t>) { return false; };
  EXPECT_TRUE(writeLog(s, hooks).writeFailed);
}

}  // namespace
}  // namespace zlogsim
