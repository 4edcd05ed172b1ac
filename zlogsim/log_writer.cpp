// The log writing loop. Each epoch's messages are staged in the output buffer
// as one group and committed only if the whole group fits the size limit, so
// the log always ends with a complete measurement message.
#include "zlogsim/log_writer.hpp"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "zlogsim/random.hpp"

namespace zlogsim {
namespace {

constexpr std::size_t chunkSize = std::size_t{4} << 20;
constexpr std::size_t maxMessageWithGarbage = maxMessageSize + maxGarbageBytes;
constexpr std::size_t maxGroupSize = (maxOtherPerEpoch + 1) * maxMessageWithGarbage;
constexpr std::uint64_t keyOther = 0x4F544852;
constexpr std::uint64_t keyDamage = 0x44414D47;
constexpr std::uint64_t keyTruncate = 0x5452554E;

class Writer {
 public:
  Writer(const LogSettings& settings, const LogHooks& hooks)
      : settings_(settings),
        hooks_(hooks),
        damaging_(settings.garbageProbability > 0.0 || settings.corruptProbability > 0.0),
        buffer_(chunkSize + maxGroupSize) {
    for (const Outage& o : settings.outages) {
      outageNs_.emplace_back(std::llround(o.start * 1e9),
                             std::llround((o.start + o.seconds) * 1e9));
    }
  }

  LogSummary run() {
    Simulator sim(settings_.simulation);
    for (std::uint64_t k = 0; k < settings_.epochLimit; ++k) {
      if (!flushIfFull()) break;
      if (inOutage(sim.sinceStartNanos(k))) {
        skipEpoch(k, sim.next());
        continue;
      }
      groupStart_ = used_;
      const std::size_t committedLastStart = lastStart_;
      const std::size_t committedLastSize = lastSize_;
      groupEvents_.clear();
      groupCounts_.clear();
      if (settings_.otherPerEpoch > 0.0) addOthers(k);
      const SimEpoch& epoch = sim.next();
      const std::size_t at = beginMessage();
      const std::size_t size =
          encodeMeasurementMessage(&buffer_[at], settings_.messageId, epoch.body);
      const std::uint64_t offset = written_ + at;
      endMessage(at, size);
      if (written_ + used_ > settings_.sizeLimit) {
        used_ = groupStart_;
        lastStart_ = committedLastStart;
        lastSize_ = committedLastSize;
        break;
      }
      commitGroup();
      ++summary_.epochs;
      if (hooks_.epoch) hooks_.epoch(epoch, offset);
    }
    if (settings_.truncateEnd && lastSize_ > 1) truncateLast();
    if (!summary_.writeFailed && flush(used_)) used_ = 0;
    summary_.bytes = written_;
    return summary_;
  }

 private:
  bool inOutage(std::int64_t sinceStartNs) const {
    for (const auto& [begin, end] : outageNs_) {
      if (sinceStartNs >= begin && sinceStartNs < end) return true;
    }
    return false;
  }

  // An epoch of an outage. Its messages are numbered as if written, so that
  // the damage drawn for every later message stays where it was.
  void skipEpoch(std::uint64_t k, const SimEpoch& epoch) {
    if (settings_.otherPerEpoch > 0.0) addOthers(k, false);
    ++messageNumber_;
    ++summary_.silentEpochs;
    if (hooks_.silent) hooks_.silent(epoch);
  }

  // Other message types a receiver interleaves; their bodies are opaque to a
  // measurement reader, so random bytes do. Unless `write`, the messages are
  // only drawn and counted.
  void addOthers(std::uint64_t k, bool write = true) {
    Random rng(hashKeys(settings_.simulation.seed, keyOther, k));
    const double more = settings_.otherPerEpoch / (1.0 + settings_.otherPerEpoch);
    std::uint8_t body[255];
    for (int i = 0; i < maxOtherPerEpoch && rng.uniform() < more; ++i) {
      std::uint32_t id = 0;
      if (settings_.otherIds.empty()) {
        id = rng.below(254);  // every id but the two measurement ids
        if (id >= measurementId) ++id;
        if (id >= measurementIdHigh) ++id;
      } else {
        id = settings_.otherIds[rng.below(static_cast<std::uint32_t>(settings_.otherIds.size()))];
      }
      // Now and then an empty body, which readers must step over uncounted.
      const std::uint32_t length = rng.below(32) == 0 ? 0 : 1 + rng.below(255);
      for (std::uint32_t b = 0; b < length; ++b) body[b] = rng.byte();
      if (!write) {
        ++messageNumber_;
        continue;
      }
      const std::size_t at = beginMessage();
      const std::size_t size =
          encodeMessage(&buffer_[at], static_cast<std::uint8_t>(id), {body, length});
      endMessage(at, size);
    }
  }

  // Reserves room for the next message, inserting garbage in front of it when
  // asked; returns where the message goes.
  std::size_t beginMessage() {
    ++messageNumber_;
    if (damaging_) {
      damage_ = Random(hashKeys(settings_.simulation.seed, keyDamage, messageNumber_));
      // Draw both decisions for every message, so that enabling one kind of
      // damage never moves the other.
      const bool garbage = damage_.uniform() < settings_.garbageProbability;
      corrupt_ = damage_.uniform() < settings_.corruptProbability;
      if (garbage) {
        const std::uint32_t n = 1 + damage_.below(maxGarbageBytes);
        groupEvents_.push_back({DamageKind::garbage, written_ + used_, n});
        for (std::uint32_t i = 0; i < n; ++i) buffer_[used_++] = damage_.byte();
      }
    }
    return used_;
  }

  void endMessage(std::size_t at, std::size_t size) {
    const std::uint8_t id = buffer_[at + 1];
    const std::uint8_t length = buffer_[at + 3];
    if (damaging_ && corrupt_) {
      corruptHeader(at);
    } else if (length != 0) {
      groupCounts_.push_back(id);
    }
    lastStart_ = at;
    lastSize_ = size;
    used_ = at + size;
  }

  void corruptHeader(std::size_t at) {
    static constexpr DamageKind kinds[3] = {DamageKind::sync, DamageKind::complement,
                                            DamageKind::length};
    const std::uint32_t pick = damage_.below(3);
    const std::size_t byte = pick == 0 ? 0 : (pick == 1 ? 2 : 3);
    // A value in 0..255 other than the one there: draw from 255 values and
    // step over the original.
    const std::uint8_t original = buffer_[at + byte];
    std::uint32_t v = damage_.below(255);
    if (v >= original) ++v;
    buffer_[at + byte] = static_cast<std::uint8_t>(v);
    groupEvents_.push_back({kinds[pick], written_ + at + byte, 1});
  }

  void commitGroup() {
    for (std::uint8_t id : groupCounts_) ++summary_.intactMessages[id];
    for (const DamageEvent& e : groupEvents_) {
      ++summary_.damageEvents;
      if (hooks_.damage) hooks_.damage(e);
    }
  }

  void truncateLast() {
    Random rng(hashKeys(settings_.simulation.seed, keyTruncate));
    const std::size_t keep = 1 + rng.below(static_cast<std::uint32_t>(lastSize_ - 1));
    const std::size_t cut = lastSize_ - keep;
    used_ -= cut;
    const DamageEvent e{DamageKind::truncation, written_ + used_, static_cast<std::uint32_t>(cut)};
    ++summary_.damageEvents;
    if (hooks_.damage) hooks_.damage(e);
  }

  // Writes out the buffer when the next group might not fit, keeping the last
  // message so that it can still be cut at the end.
  bool flushIfFull() {
    if (buffer_.size() - used_ >= maxGroupSize) return true;
    const std::size_t keepFrom = lastStart_;
    if (!flush(keepFrom)) return false;
    std::memmove(buffer_.data(), &buffer_[keepFrom], used_ - keepFrom);
    used_ -= keepFrom;
    lastStart_ = 0;
    return true;
  }

  bool flush(std::size_t n) {
    if (n == 0) return true;
    if (!hooks_.write({buffer_.data(), n})) {
      summary_.writeFailed = true;
      return false;
    }
    written_ += n;
    return true;
  }

  const LogSettings& settings_;
  const LogHooks& hooks_;
  const bool damaging_;
  std::vector<std::pair<std::int64_t, std::int64_t>> outageNs_;  // [begin, end)
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;       // bytes in the buffer
  std::uint64_t written_ = 0;  // bytes handed to the sink before the buffer
  std::size_t groupStart_ = 0;
  std::size_t lastStart_ = 0;
  std::size_t lastSize_ = 0;
  std::uint64_t messageNumber_ = 0;
  Random damage_{0};
  bool corrupt_ = false;
  std::vector<DamageEvent> groupEvents_;
  std::vector<std::uint8_t> groupCounts_;
  LogSummary summary_;
};

}  // namespace

LogSummary writeLog(const LogSettings& settings, const LogHooks& hooks) {
  return Writer(settings, hooks).run();
}

}  // namespace zlogsim
