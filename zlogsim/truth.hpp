// The truth file written beside a simulated log: a comment header, optionally
// a CSV row per channel record, then the injected faults and the figures of
// the written epochs as keyword lines (a CSV row begins with a digit, every
// other line with '#' or a keyword).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "zlogsim/log_writer.hpp"
#include "zlogsim/tally.hpp"

namespace zlogsim {

// Seconds as the truth file prints them: the shortest plain decimal that
// reads back as the same double (0.1, 300000, 604799.9).
std::string formatSeconds(double seconds);
// A time as "week/seconds".
std::string formatTime(GpsTime t);

class TruthFile {
 public:
  // Writes the header to `file`, which the caller keeps open until finish().
  TruthFile(std::FILE* file, const LogSettings& settings, bool rows);

  // The LogHooks callbacks.
  void written(const SimEpoch& epoch, std::uint64_t offset);
  void silent(const SimEpoch& epoch);
  void damaged(const DamageEvent& event);

  // Writes the faults and the figures. A measurement message cut short or
  // with a damaged header is left out of the figures: a reader cannot take
  // it.
  void finish();

 private:
  enum class EventKind { slip, lockLoss, outage };
  struct Event {
    EventKind kind = EventKind::slip;
    int prn = 0;
    GpsTime at;
    std::int64_t value = 0;
  };

  void addEvents(const SimEpoch& epoch);
  void writeRows(const SimEpoch& epoch, std::uint64_t offset) const;
  void writeEvents() const;
  void writeFigures() const;

  std::FILE* file_;
  const LogSettings& settings_;
  bool rows_;
  std::vector<Event> events_;
  std::optional<std::size_t> openOutage_;    // the outage event still growing
  std::vector<std::uint64_t> headerDamage_;  // offsets in the current group
  bool truncated_ = false;
  // The last written epoch waits for the next one, since a truncation of the
  // log's end is reported after it.
  std::optional<SimEpoch> pending_;
  LogTally tally_;
};

}  // namespace zlogsim
