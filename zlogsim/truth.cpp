// Writing the truth file.
#include "zlogsim/truth.hpp"

#include <charconv>
#include <cinttypes>
#include <cmath>

namespace zlogsim {

std::string formatSeconds(double seconds) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed).ptr;
  return std::string(text, end);
}

std::string formatTime(GpsTime t) {
  return std::to_string(t.week) + "/" + formatSeconds(t.seconds);
}

TruthFile::TruthFile(std::FILE* file, const LogSettings& settings, bool rows)
    : file_(file), settings_(settings), rows_(rows) {
  const SimulationSettings& sim = settings.simulation;
  std::fprintf(file_, "# receiver_ecef_m %.4f %.4f %.4f\n", sim.receiverPosition.x,
               sim.receiverPosition.y, sim.receiverPosition.z);
  std::fprintf(file_, "# clock offset = %.17g s + %.17g * (true time - week %d second %.17g)\n",
               sim.clockBias, sim.clockDrift, sim.start.week, sim.start.seconds);
  if (!rows_) return;
  std::fprintf(file_,
               "# offset,week,receive_time,true_week,true_seconds,clock_offset_s,prn,"
               "elevation_deg,range_m,pseudorange_m,carrier_cycles,flags,signal,code_phase,"
               "carrier_word\n");
}

void TruthFile::written(const SimEpoch& epoch, std::uint64_t offset) {
  if (rows_) writeRows(epoch, offset);
  openOutage_.reset();
  addEvents(epoch);
  // The damage of an epoch's messages is reported just before the epoch.
  bool damaged = false;
  for (std::uint64_t at : headerDamage_) damaged = damaged || (at >= offset && at < offset + 4);
  headerDamage_.clear();
  if (pending_) tally_.add(*pending_);
  if (damaged) {
    pending_.reset();
  } else {
    pending_ = epoch;
  }
}

void TruthFile::silent(const SimEpoch& epoch) {
  if (!openOutage_) {
    openOutage_ = events_.size();
    events_.push_back({EventKind::outage, 0, epoch.reading, 0});
  }
  ++events_[*openOutage_].value;
  addEvents(epoch);
}

void TruthFile::damaged(const DamageEvent& event) {
  switch (event.kind) {
    case DamageKind::garbage:
      break;  // inserted bytes leave every message whole
    case DamageKind::truncation:
      truncated_ = true;
      break;
    case DamageKind::sync:
    case DamageKind::complement:
    case DamageKind::length:
      headerDamage_.push_back(event.offset);
      break;
  }
}

void TruthFile::finish() {
  if (pending_ && !truncated_) tally_.add(*pending_);
  pending_.reset();
  writeEvents();
  writeFigures();
}

void TruthFile::addEvents(const SimEpoch& epoch) {
  for (std::size_t i = 0; i < epoch.eventCount; ++i) {
    const Impairment& e = epoch.events[i];
    const EventKind kind = e.kind == ImpairmentKind::slip ? EventKind::slip : EventKind::lockLoss;
    events_.push_back({kind, e.prn, epoch.reading, e.value});
  }
}

void TruthFile::writeRows(const SimEpoch& e, std::uint64_t offset) const {
  for (std::size_t i = 0; i < e.body.channelCount; ++i) {
    const ChannelTruth& t = e.truth[i];
    const ChannelRecord& r = e.body.channels[i];
    std::fprintf(file_, "%llu,%d,%.17g,%d,%.17g,%.17g,%d,%.6f,%.6f,%.6f,%.6f,%u,%u,%d,%u\n",
                 static_cast<unsigned long long>(offset), e.reading.week, e.reading.seconds,
                 e.trueTime.week, e.trueTime.seconds, e.clockOffset, t.prn,
                 std::asin(t.sinElevation) * 180.0 / pi, t.range, t.pseudorange, t.carrierCycles,
                 t.trackingFlags, static_cast<unsigned>(r.signal), r.codePhase, r.carrierWord);
  }
}

void TruthFile::writeEvents() const {
  for (const Event& e : events_) {
    const std::string at =
        "week=" + std::to_string(e.at.week) + " sow=" + formatSeconds(e.at.seconds);
    switch (e.kind) {
      case EventKind::slip:
        std::fprintf(file_, "slip prn=%d %s cycles=%" PRId64 "\n", e.prn, at.c_str(), e.value);
        break;
      case EventKind::lockLoss:
        std::fprintf(file_, "lockloss prn=%d %s epochs=%" PRId64 "\n", e.prn, at.c_str(), e.value);
        break;
      case EventKind::outage:
        std::fprintf(file_, "outage %s epochs=%" PRId64 "\n", at.c_str(), e.value);
        break;
    }
  }
}

void TruthFile::writeFigures() const {
  const LogTally& t = tally_;
  const SimulationSettings& sim = settings_.simulation;
  const std::string interval =
      formatSeconds(static_cast<double>(std::llround(1e9 / sim.rateHz)) / 1e9);
  const bool any = t.epochs() > 0;
  const std::string first = any ? formatTime(t.first()) : "-";
  const std::string last = any ? formatTime(t.last()) : "-";
  const std::string longestStart =
      t.gaps() > 0 ? formatTime(epochReading(sim, t.longestGapStart())) : "-";
  const std::uint64_t expected = any ? t.lastIndex() - t.firstIndex() + 1 : 0;
  std::fprintf(file_,
               "log first=%s last=%s interval=%s epochs=%" PRIu64 " expected=%" PRIu64
               " gaps=%" PRIu64 " gap_epochs=%" PRIu64 " longest_gap_epochs=%" PRIu64
               " longest_gap_start=%s\n",
               first.c_str(), last.c_str(), interval.c_str(), t.epochs(), expected, t.gaps(),
               t.gapEpochs(), t.longestGap(), longestStart.c_str());
  for (int prn = 1; prn <= maxPrn; ++prn) {
    const SatelliteTally& s = t.satellites()[static_cast<std::size_t>(prn - 1)];
    if (s.epochs == 0) continue;
    std::fprintf(file_,
                 "satellite prn=%d epochs=%" PRIu64 " arcs=%zu first=%s last=%s lol=%" PRIu64
                 " rollovers=%" PRIu64 " slips=%" PRIu64 "\n",
                 prn, s.epochs, s.arcs.size(), formatTime(s.arcs.front().first).c_str(),
                 formatTime(s.arcs.back().last).c_str(), s.lol, s.rollovers, s.slips);
  }
  for (int prn = 1; prn <= maxPrn; ++prn) {
    for (const ArcTally& a : t.satellites()[static_cast<std::size_t>(prn - 1)].arcs) {
      std::fprintf(file_, "arc prn=%d first=%s last=%s epochs=%" PRIu64 "\n", prn,
                   formatTime(a.first).c_str(), formatTime(a.last).c_str(), a.epochs);
    }
  }
}

}  // namespace zlogsim
