// Random damage to a synthesised log, the way serial lines damage recordings:
// bytes flipped, inserted, deleted, blocks repeated. Whatever the damage, a
// run ends normally or with a specified stop, gives the same file twice, keeps
// every line of the messages before the damage, and finds its way back into
// step soon after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "measure/gps_time.hpp"
#include "receiver_log/measurement_body.hpp"
#include "robust_support.hpp"

namespace kapolex {
namespace {

using testing::convertInMemory;
using testing::MemoryRun;
using Bytes = std::vector<std::uint8_t>;

const std::string answer = "1356\n";
constexpr int prnStop = 98463;
constexpr int endOfLogStop = static_cast<int>(0xC0000018u);

// Ten minutes at 1 Hz with other messages in between: about 156 KB, some
// 260 bytes a second, and 120 kept epochs.
const Bytes& cleanLog() {
  static const Bytes log =
      testing::synthesizedLog({"-d", "600", "--other", "1", "-s", "29", "-o", "z.log"});
  return log;
}

// The same ten minutes as recorded over a poor line: bytes of line noise in
// front of one message in ten, and one header byte in ten messages damaged.
const Bytes& noisyLog() {
  static const Bytes log = testing::synthesizedLog({"-d", "600", "--other", "1", "--garbage", "0.1",
                                                    "--corrupt", "0.1", "-s", "31", "-o", "z.log"});
  return log;
}

struct Message {
  std::size_t start = 0;
  std::size_t end = 0;  // one past the trailer
  bool kept = false;    // a measurement whose epoch is written
};

// The clean log's messages, back to back from its first byte.
std::vector<Message> messagesOf(const Bytes& log) {
  std::vector<Message> messages;
  std::size_t at = 0;
  while (at < log.size()) {
    EXPECT_TRUE(at + 4 <= log.size() && log[at] == 0x01 &&
                static_cast<std::uint8_t>(log[at + 1] + log[at + 2]) == 0xFF)
        << "the synthesised log is not clean at " << at;
    Message message{at, at + 4 + log[at + 3] + 2, false};
    const int id = log[at + 1];
    if (id == 23 || id == 151) {
      const BodyHead head = readBodyHead(&log[at + 4]);
      message.end = at + 4 + bodyHeadSize +
                    channelRecordSize * static_cast<std::size_t>(head.channelCount) + 2;
      message.kept = isUsableReceiveTime(head.receiveTime) && keepEpoch(head.receiveTime);
    }
    messages.push_back(message);
    at = message.end;
  }
  return messages;
}

// One kept epoch as written: its epoch line, continuation lines and
// observation lines.
struct Block {
  std::string exact;
  std::string withoutDate;  // the same without year, month and day
};

std::vector<Block> blocksOf(const std::string& observations) {
  std::vector<Block> blocks;
  const std::vector<std::string> lines = testing::splitCrLfLines(observations);
  std::size_t i = 0;
  while (i < lines.size() && !lines[i].ends_with("END OF HEADER")) ++i;
  for (++i; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool continues = line.size() == 30 || line.starts_with(std::string(32, ' '));
    if (!continues || blocks.empty()) {
      blocks.push_back({});
      blocks.back().withoutDate = line.size() > 9 ? line.substr(9) : line;
    } else {
      blocks.back().withoutDate += "\n" + line;
    }
    blocks.back().exact += line + "\n";
  }
  return blocks;
}

std::string observationsOf(const Bytes& log, std::size_t length) {
  return convertInMemory(Bytes(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(length)),
                         answer)
      .observations;
}

enum class Damage { flip, insert, erase, repeat };
const char* const damageNames[] = {"flip", "insert", "erase", "repeat"};

struct Spot {
  Damage kind = Damage::flip;
  std::size_t from = 0;  // the clean bytes [from, to) are changed; to == from: bytes put in at from
  std::size_t to = 0;
};

// Applies one damaged spot and returns where in the clean log it lies.
Spot damage(Bytes& log, std::mt19937& random) {
  auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  Spot spot;
  spot.kind = static_cast<Damage>(below(4));
  const std::size_t at = below(log.size());
  switch (spot.kind) {
    case Damage::flip: {
      const std::size_t width = std::min<std::size_t>(1 + below(16), log.size() - at);
      for (std::size_t flips = 1 + below(4); flips > 0; --flips) {
        log[at + below(width)] ^= static_cast<std::uint8_t>(1 + below(255));
      }
      spot = {spot.kind, at, at + width};
      break;
    }
    case Damage::insert: {
      Bytes noise(1 + below(64));
      for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(below(256));
      log.insert(log.begin() + static_cast<std::ptrdiff_t>(at), noise.begin(), noise.end());
      spot = {spot.kind, at, at};
      break;
    }
    case Damage::erase: {
      const std::size_t count = std::min<std::size_t>(1 + below(64), log.size() - at);
      log.erase(log.begin() + static_cast<std::ptrdiff_t>(at),
                log.begin() + static_cast<std::ptrdiff_t>(at + count));
      spot = {spot.kind, at, at + count};
      break;
    }
    case Damage::repeat: {
      // A stretch recorded twice, as a retransmission would leave it.
      const std::size_t count = std::min<std::size_t>(16 + below(600), log.size() - at);
      const Bytes block(log.begin() + static_cast<std::ptrdiff_t>(at),
                        log.begin() + static_cast<std::ptrdiff_t>(at + count));
      log.insert(log.begin() + static_cast<std::ptrdiff_t>(at + count), block.begin(), block.end());
      spot = {spot.kind, at + count, at + count};
      break;
    }
  }
  return spot;
}

void expectSpecifiedEnding(const MemoryRun& run) {
  EXPECT_TRUE(run.status == 0 || run.status == prnStop || run.status == endOfLogStop) << run.status;
  const std::string line = run.status == 0 ? ""
                           : run.status == prnStop
                               ? "98463\n"
                               : testing::diagnosticLine(24, "end-of-file during read", 1,
                                                         std::string(testing::memoryLogPath));
  EXPECT_EQ(run.errors, line);
  EXPECT_TRUE(run.observations.ends_with("\r\n"));
}

TEST(DamagedLog, SingleSpotsLoseOnlyTheirNeighbourhood) {
  const Bytes& clean = cleanLog();
  const std::vector<Message> messages = messagesOf(clean);
  const MemoryRun whole = convertInMemory(clean, answer);
  ASSERT_EQ(whole.status, 0);
  const std::vector<Block> wholeBlocks = blocksOf(whole.observations);
  // Each kept message wrote one block, in log order.
  std::vector<std::size_t> keptStarts;
  for (const Message& m : messages) {
    if (m.kept) keptStarts.push_back(m.start);
  }
  ASSERT_EQ(keptStarts.size(), wholeBlocks.size());
  ASSERT_GE(wholeBlocks.size(), 100u);

  std::mt19937 random(20060120);
  constexpr int trials = 150;
  std::map<int, int> endings;
  std::size_t expected = 0;        // kept epochs of undamaged messages, in runs to the end
  std::size_t exact = 0;           // of them, written exactly as without damage
  std::size_t dateless = 0;        // written alike apart from the date
  std::size_t resyncDistance = 0;  // the longest way back into step, in clean log bytes
  for (int trial = 0; trial < trials; ++trial) {
    Bytes log = clean;
    const Spot spot = damage(log, random);
    SCOPED_TRACE(std::string(damageNames[static_cast<int>(spot.kind)]) + " at " +
                 std::to_string(spot.from));
    const MemoryRun run = convertInMemory(log, answer);
    expectSpecifiedEnding(run);
    ++endings[run.status];

    // The messages touched by the spot: from the one holding its first byte
    // to the one holding its last (or the one it was put into).
    auto holding = [&](std::size_t offset) {
      return std::upper_bound(messages.begin(), messages.end(), offset,
                              [](std::size_t o, const Message& m) { return o < m.start; }) -
             1;
    };
    const auto first = holding(spot.from);
    const auto last = holding(spot.to > spot.from ? spot.to - 1 : spot.from);
    const std::size_t damagedStart = first->start;
    const std::size_t damagedEnd = last->end;

    // Nothing written depends on what follows it: every line of the messages
    // before the damaged one is there, in order, in any ending.
    const std::string before = observationsOf(clean, damagedStart);
    EXPECT_TRUE(run.observations.starts_with(before));
    if (run.status != 0) continue;

    const std::vector<Block> blocks = blocksOf(run.observations);
    std::multiset<std::string> exactFound;
    std::multiset<std::string> datelessFound;
    for (const Block& b : blocks) {
      exactFound.insert(b.exact);
      datelessFound.insert(b.withoutDate);
    }
    bool backInStep = false;
    for (std::size_t j = 0; j < wholeBlocks.size(); ++j) {
      if (keptStarts[j] >= damagedStart && keptStarts[j] < damagedEnd) continue;
      ++expected;
      if (auto found = exactFound.find(wholeBlocks[j].exact); found != exactFound.end()) {
        ++exact;
        exactFound.erase(found);
      }
      if (auto found = datelessFound.find(wholeBlocks[j].withoutDate);
          found != datelessFound.end()) {
        ++dateless;
        datelessFound.erase(found);
        if (!backInStep && keptStarts[j] >= damagedEnd) {
          backInStep = true;
          resyncDistance = std::max(resyncDistance, keptStarts[j] - damagedEnd);
        }
      }
    }
    EXPECT_TRUE(backInStep || keptStarts.back() < damagedEnd) << "never back in step";

    // The same log gives the same file again.
    const MemoryRun again = convertInMemory(log, answer);
    EXPECT_EQ(again.status, run.status);
    EXPECT_TRUE(again.observations == run.observations);
  }
  ASSERT_GT(endings[0], trials / 2);
  const double exactShare = static_cast<double>(exact) / static_cast<double>(expected);
  const double datelessShare = static_cast<double>(dateless) / static_cast<double>(expected);
  std::printf(
      "single spots: %d trials, endings 0:%d prn:%d eof:%d; of %zu kept epochs of "
      "undamaged messages %.4f exact, %.4f apart from the date; back in step within "
      "%zu bytes\n",
      trials, endings[0], endings[prnStop], endings[endOfLogStop], expected, exactShare,
      datelessShare, resyncDistance);
  // A damaged spot costs the epochs of the messages it touches and of those
  // the walk passes over before it is back in step. A damaged channel count
  // makes the decoding take at most 11 + 11 * 255 = 2816 bytes, after which
  // the header search finds the next message; the next kept epoch follows
  // within five seconds, some 1300 bytes. So the walk is back within 2816 +
  // 1300 bytes and a message of slack, and a spot costs at most four of the
  // 120 kept epochs; most spots cost none beyond their own message.
  EXPECT_LE(resyncDistance, 6144u);
  EXPECT_GE(datelessShare, 0.99);
  // A damaged receive time that runs backwards moves the week for the rest of
  // the log, as every backward step does; it dates later epochs a week on
  // without changing anything else. About one spot in thirty lands in the
  // upper bytes of a receive time and costs half the log on average.
  EXPECT_GE(exactShare, 0.95);
}

TEST(DamagedLog, AnyDamageEndsAsSpecifiedAndRepeatsExactly) {
  const Bytes& clean = cleanLog();
  std::mt19937 random(19800106);
  for (int trial = 0; trial < 60; ++trial) {
    Bytes log = trial % 3 == 0 ? noisyLog() : clean;
    const int spots = 2 + trial % 7;
    for (int s = 0; s < spots; ++s) damage(log, random);
    SCOPED_TRACE(trial);
    const MemoryRun run = convertInMemory(log, answer);
    expectSpecifiedEnding(run);
    const MemoryRun again = convertInMemory(log, answer);
    EXPECT_EQ(again.status, run.status);
    EXPECT_TRUE(again.observations == run.observations && again.console == run.console);
    // Whatever comes after them, the bytes the damage left alone at the start
    // give their lines, in order.
    const Bytes& base = trial % 3 == 0 ? noisyLog() : clean;
    const auto common = std::mismatch(base.begin(), base.end(), log.begin(), log.end()).first;
    EXPECT_TRUE(run.observations.starts_with(
        observationsOf(base, static_cast<std::size_t>(common - base.begin()))));
  }
}

// The log comes in pieces of any size; a message may be cut between two at
// any byte, also right after damage that the header search slides over, and
// is converted once it is whole: the same files as from the whole log.
TEST(DamagedLog, PiecesOfAnySizeChangeNothing) {
  std::mt19937 random(604800);
  for (int trial = 0; trial < 8; ++trial) {
    // Most damage inside a measurement body names a PRN beyond 32 and stops
    // the run; the noisy log runs to its end and keeps the walk searching.
    Bytes log = trial % 2 == 0 ? noisyLog() : cleanLog();
    for (int s = 0; s < trial; ++s) damage(log, random);
    const MemoryRun whole = convertInMemory(log, answer);
    for (const std::size_t piece : {1u, 3u, 11u, 15u, 2805u, 2808u, 4099u}) {
      SCOPED_TRACE(std::to_string(trial) + " in pieces of " + std::to_string(piece) + " bytes");
      const MemoryRun streamed = convertInMemory(log, answer, piece);
      EXPECT_EQ(streamed.status, whole.status);
      EXPECT_TRUE(streamed.observations == whole.observations);
      EXPECT_EQ(streamed.console, whole.console);
      EXPECT_EQ(streamed.errors, whole.errors);
    }
  }
}

// The real program on damaged logs: no signal, no hang, and the same result
// as the conversion in memory.
TEST(DamagedLog, RealProgramAgreesWithTheConversionInMemory) {
  std::mt19937 random(1356);
  for (int trial = 0; trial < 6; ++trial) {
    Bytes log = cleanLog();
    for (int s = 0; s <= trial; ++s) damage(log, random);
    SCOPED_TRACE(trial);
    const MemoryRun expected = convertInMemory(log, answer);
    const testing::ProgramResult result =
        testing::runKapolex(std::string(log.begin(), log.end()), answer);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitStatus, expected.status & 0xFF);
    EXPECT_EQ(result.out, expected.console);
    ASSERT_TRUE(result.observations.has_value());
    EXPECT_TRUE(testing::linesWithoutRunDate(*result.observations) ==
                testing::linesWithoutRunDate(expected.observations));
    if (expected.status == endOfLogStop) {
      EXPECT_TRUE(result.err.starts_with("kapolex: severe (24): end-of-file during read, unit 1"));
    } else {
      EXPECT_EQ(result.err, expected.errors);
    }
  }
}

}  // namespace
}  // namespace kapolex
