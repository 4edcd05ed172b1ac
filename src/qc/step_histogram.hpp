// Steps between epochs, counted by their exact size. The nominal interval is
// known only at the end of the log, and the log is read once: so the log's
// steps and each satellite's steps are kept as small histograms, from which
// gaps, arcs and the slips inside arcs follow exactly once the interval is
// known. A sound log has a handful of distinct steps; a damaged one may have
// more than an entry limit, and the caller then classifies the extra steps
// on the spot against the interval as it stands (see QualityCheck).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace kapolex {

struct StepEntry {
  std::int64_t step = 0;     // nanoseconds
  std::int64_t count = 0;    // how often it occurred
  std::int64_t firstAt = 0;  // timeline instant of the epoch before its first occurrence
  std::int64_t marks = 0;    // suspected slips at the epochs this step led to
};

class StepHistogram {
 public:
  static constexpr std::size_t full = std::numeric_limits<std::size_t>::max();

  // Holds at most `capacity` distinct steps; the room is taken now, so that
  // counting never allocates.
  explicit StepHistogram(std::size_t capacity);

  // Counts `count` steps of this size, the first of which followed the
  // epoch at instant `from`; returns the entry's index, or `full` for a new
  // step that found no room. Inline: a step is nearly always the one that
  // came last time.
  std::size_t add(std::int64_t step, std::int64_t from, std::int64_t count = 1) {
    if (last_ < entries_.size() && entries_[last_].step == step) {
      entries_[last_].count += count;
      return last_;
    }
    return addOther(step, from, count);
  }

  // Counts a suspected slip against an entry.
  void mark(std::size_t index) { ++entries_[index].marks; }

  const StepEntry& entry(std::size_t index) const { return entries_[index]; }
  std::span<const StepEntry> entries() const { return entries_; }

  // The most common step, the shortest of equals; 0 when there is none.
  std::int64_t mode() const;

 private:
  std::size_t addOther(std::int64_t step, std::int64_t from, std::int64_t count);

  std::vector<StepEntry> entries_;
  std::size_t capacity_;
  std::size_t last_ = 0;
};

// Whether `a` is more common than `b`, or as common and shorter: the order
// that picks the nominal interval.
constexpr bool moreCommon(const StepEntry& a, const StepEntry& b) {
  return a.count > b.count || (a.count == b.count && a.step < b.step);
}

// The epochs missing in a step at the nominal interval: round(step /
// nominal) - 1 (halves up) when the step exceeds 1.5 intervals, else 0.
std::int64_t missingEpochs(std::int64_t step, std::int64_t nominal);

// Whether a satellite's step ends its arc: it goes back in time, or at least
// two epochs are missing (the step is 2.5 intervals or more).
bool endsArc(std::int64_t step, std::int64_t nominal);

}  // namespace kapolex
