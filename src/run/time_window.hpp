// The span of GPS time whose kept epochs a run writes (--start, --end). It
// selects among the epochs the decimation keeps and never moves its grid.
#pragma once

#include <cstdint>
#include <optional>

namespace kapolex {

struct TimeWindow {
  // Whole GPS seconds as gpsSecondOfEpoch counts them; an edge left out
  // leaves the window open on that side.
  std::optional<std::int64_t> start;
  std::optional<std::int64_t> end;

  // Whether the run was given a window at all.
  bool given() const { return start || end; }
  // Whether an epoch at second lies in the window: from start on, up to
  // but not including end.
  bool holds(std::int64_t second) const {
    return (!start || second >= *start) && (!end || second < *end);
  }
};

}  // namespace kapolex
