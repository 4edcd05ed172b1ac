// Writes a whole simulated receiver log: measurement messages from the
// simulator, optionally mixed with other message types and with damage for
// robustness tests, streamed out in large chunks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "zlogsim/simulator.hpp"

namespace zlogsim {

// A span of receiver clock time, from the first epoch, in which the receiver
// writes nothing at all while its tracking goes on.
struct Outage {
  double start = 0.0;    // s after the first epoch
  double seconds = 0.0;  // duration; epochs in [start, start + seconds) are silent
};

struct LogSettings {
  SimulationSettings simulation;
  std::vector<Outage> outages;
  std::uint64_t epochLimit = 3600;  // measurement epochs to write at most
  // Stop before the log would grow past this many bytes; whole messages only,
  // so a reader never meets an end inside a message unless truncateEnd asks.
  std::uint64_t sizeLimit = std::numeric_limits<std::uint64_t>::max();
  std::uint8_t messageId = measurementId;  // 23 or 151
  // Mean number of other (non-measurement) messages written before each
  // measurement message; at most maxOtherPerEpoch per epoch.
  double otherPerEpoch = 0.0;
  // IDs the other messages are drawn from, uniformly; empty: any ID but 23
  // and 151. A real receiver repeats a few fixed message types.
  std::vector<std::uint8_t> otherIds;
  // Chance, per message, of random bytes inserted in front of it.
  double garbageProbability = 0.0;
  // Chance, per message, of one damaged header byte (sync, complement or length).
  double corruptProbability = 0.0;
  // Cut the last message short, leaving between 1 and all but 1 of its bytes.
  bool truncateEnd = false;
};

inline constexpr int maxOtherPerEpoch = 8;
inline constexpr std::uint32_t maxGarbageBytes = 32;

enum class DamageKind { garbage, sync, complement, length, truncation };

// One place where the log differs from its undamaged form. Offsets are in the
// written log. garbage: `length` inserted bytes at `offset`. sync, complement,
// length: the header byte at `offset` was replaced (length 1). truncation: the
// log ends at `offset`; `length` bytes of the last message are missing.
struct DamageEvent {
  DamageKind kind = DamageKind::garbage;
  std::uint64_t offset = 0;
  std::uint32_t length = 0;
};

struct LogSummary {
  std::uint64_t bytes = 0;         // size of the written log
  std::uint64_t epochs = 0;        // measurement messages written (the last one perhaps cut)
  std::uint64_t silentEpochs = 0;  // epochs that fell in an outage
  // Per message ID: messages written with an undamaged header and a body
  // length other than 0, which a reader that keeps in step must count.
  std::array<std::uint64_t, 256> intactMessages{};
  std::uint64_t damageEvents = 0;
  bool writeFailed = false;  // the sink refused a chunk; the log is incomplete
};

struct LogHooks {
  // Receives the log in order, in large chunks; returns false on failure.
  std::function<bool(std::span<const std::uint8_t>)> write;
  // Optional: each measurement epoch with the log offset of its message.
  std::function<void(const SimEpoch&, std::uint64_t offset)> epoch;
  // Optional: each epoch of an outage, simulated but not written.
  std::function<void(const SimEpoch&)> silent;
  // Optional: each damage event, in log order.
  std::function<void(const DamageEvent&)> damage;
};

// Generates the log described by settings and hands it to hooks.write.
// The bytes depend on the settings alone (seed included), never on the
// platform; measurement content does not depend on the interleaving and damage
// options, and damage does not move or alter any other byte. An outage removes
// its epochs' messages (and the damage in front of them) and nothing else.
LogSummary writeLog(const LogSettings& settings, const LogHooks& hooks);

}  // namespace zlogsim
