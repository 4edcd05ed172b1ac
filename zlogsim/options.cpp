// Command-line parsing for zlogsim.
#include "zlogsim/options.hpp"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace zlogsim {
namespace {

constexpr double weekEndLead = 300.0;  // --cross-week-end starts this long before the week ends

std::optional<double> toDouble(std::string_view text) {
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) {
    return std::nullopt;
  }
  return v;
}

std::optional<std::uint64_t> toUnsigned(std::string_view text) {
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

// A byte count with an optional binary suffix K, M or G.
std::optional<std::uint64_t> toSize(std::string_view text) {
  std::uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
      case 'k':
        scale = std::uint64_t{1} << 10;
        break;
      case 'M':
      case 'm':
        scale = std::uint64_t{1} << 20;
        break;
      case 'G':
      case 'g':
        scale = std::uint64_t{1} << 30;
        break;
      default:
        break;
    }
    if (scale != 1) text.remove_suffix(1);
  }
  const auto v = toUnsigned(text);
  if (!v || *v > std::numeric_limits<std::uint64_t>::max() / scale) return std::nullopt;
  return *v * scale;
}

// Comma-separated message IDs 0 to 255, none of them a measurement ID.
std::optional<std::vector<std::uint8_t>> toIdList(std::string_view text) {
  std::vector<std::uint8_t> ids;
  while (true) {
    const std::size_t comma = text.find(',');
    const auto v = toUnsigned(text.substr(0, comma));
    if (!v || *v > 255 || *v == measurementId || *v == measurementIdHigh) return std::nullopt;
    ids.push_back(static_cast<std::uint8_t>(*v));
    if (comma == std::string_view::npos) return ids;
    text.remove_prefix(comma + 1);
  }
}

// "START,SECONDS": an outage of SECONDS > 0 starting START >= 0 seconds
// after the first epoch, both at most 1e9.
std::optional<Outage> toOutage(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto start = toDouble(text.substr(0, comma));
  const auto seconds = toDouble(text.substr(comma + 1));
  if (!start || !seconds || *start < 0.0 || *start > 1e9 || !(*seconds > 0.0) || *seconds > 1e9) {
    return std::nullopt;
  }
  return Outage{*start, *seconds};
}

}  // namespace

std::string helpText() {
  return R"(Usage: zlogsim [options]
Writes a simulated GPS receiver log: a static receiver tracking up to 12
satellites of a nominal constellation, one measurement message per epoch.

  -o, --output FILE     log to write (default z.log; '-' for standard output)
      --week N          GPS week of the first epoch (default 1356)
      --sow S           receiver clock reading of the first epoch, seconds of
                        week, 0 <= S < 604800 (default 0)
      --cross-week-end  start 300 s before the end of the week, so the receive
                        times wrap to 0 in the next week
  -d, --duration S      seconds of receiver time to cover (default 3600, or
                        unlimited when --size is given)
  -r, --rate HZ         epochs per second, 0.001 to 100 (default 1)
      --size BYTES      stop before the log exceeds BYTES; suffixes K, M, G;
                        the log ends with a whole message
  -s, --seed N          seed of every random choice (default 1)
      --id N            measurement message ID, 23 or 151 (default 23)
      --other MEAN      mean number of other messages before each
                        measurement message (default 0, or 1 with
                        --other-ids; at most 8 per epoch)
      --other-ids LIST  comma-separated IDs the other messages are drawn from
                        (for example 8,19,50; default any ID but 23 and 151)
      --garbage P       chance per message of 1-32 random bytes in front of it
      --corrupt P       chance per message of one damaged header byte
      --truncate        cut the last message short
      --clock-bias S    receiver clock offset at the start (default 3e-4 s)
      --clock-drift R   receiver clock drift (default 5e-9 s/s)
      --mask DEG        elevation mask (default 10)
      --slips RATE      carrier-phase cycle slips per satellite-hour: each
                        adds 1 to 1000 cycles (either sign) to the phase from
                        that epoch on, on settled channels, without a flag
      --lock-loss RATE  losses of lock per satellite-hour: the satellite
                        vanishes for 1 or 2 epochs (half of them) or for 10
                        to 300 s (at least 3 epochs), then is reacquired
                        with a new ambiguity and the tracking flags set
      --code-noise M    Gaussian pseudorange noise, standard deviation in m
      --outage T,S      the receiver writes nothing for the epochs whose time
                        since the first epoch lies in [T, T + S) seconds;
                        tracking goes on; may be repeated
      --truth FILE      write the truth behind the log to FILE: a CSV row per
                        channel record, then lines that begin with a keyword:
                          slip prn=P week=W sow=S cycles=K
                          lockloss prn=P week=W sow=S epochs=N
                          outage week=W sow=S epochs=N
                        for the injected faults in log order (N: epochs
                        drawn dark, or epochs left out), then the figures of
                        the epochs written (see doc/developer-guide.md):
                          log first=W/S last=W/S interval=I epochs=N
                            expected=M gaps=G gap_epochs=E
                            longest_gap_epochs=L longest_gap_start=W/S
                          satellite prn=P epochs=N arcs=A first=W/S
                            last=W/S lol=L rollovers=R slips=K
                          arc prn=P first=W/S last=W/S epochs=N
      --truth-rows yes|no  whether the truth file has the CSV rows (default yes)
      --stats           print message counts and damage to standard error
  -h, --help            show this text
)";
}

ParseResult parseCommandLine(std::span<const char* const> args) {
  ParseResult result;
  CommandLine& o = result.options;
  std::optional<double> duration;
  bool crossWeekEnd = false;
  bool sowGiven = false;
  bool otherGiven = false;
  auto fail = [&result](std::string message) {
    result.ok = false;
    result.error = std::move(message);
    return result;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string_view name = arg;
    std::optional<std::string_view> inlineValue;
    if (arg.starts_with("--")) {
      if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
      }
    }
    auto value = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (i + 1 < args.size()) return std::string_view(args[++i]);
      return std::nullopt;
    };
    auto number = [&](double low, double high) -> std::optional<double> {
      const auto text = value();
      if (!text) return std::nullopt;
      const auto v = toDouble(*text);
      if (!v || *v < low || *v > high) return std::nullopt;
      return v;
    };
    const std::string bad = "invalid or missing value for " + std::string(name);

    if (name == "-h" || name == "--help") {
      o.help = true;
    } else if (name == "-o" || name == "--output") {
      const auto v = value();
      if (!v || v->empty()) return fail(bad);
      o.output = *v;
    } else if (name == "--week") {
      const auto v = number(0, 99999);
      if (!v || *v != std::floor(*v)) return fail(bad);
      o.log.simulation.start.week = static_cast<std::int32_t>(*v);
    } else if (name == "--sow") {
      const auto v = number(0, secondsPerWeek);
      if (!v || *v >= secondsPerWeek) return fail(bad);
      o.log.simulation.start.seconds = *v;
      sowGiven = true;
    } else if (name == "--cross-week-end") {
      crossWeekEnd = true;
    } else if (name == "-d" || name == "--duration") {
      duration = number(0, 1e9);
      if (!duration) return fail(bad);
    } else if (name == "-r" || name == "--rate") {
      const auto v = number(0.001, 100);
      if (!v) return fail(bad);
      o.log.simulation.rateHz = *v;
    } else if (name == "--size") {
      const auto text = value();
      const auto v = text ? toSize(*text) : std::nullopt;
      if (!v) return fail(bad);
      o.log.sizeLimit = *v;
    } else if (name == "-s" || name == "--seed") {
      const auto text = value();
      const auto v = text ? toUnsigned(*text) : std::nullopt;
      if (!v) return fail(bad);
      o.log.simulation.seed = *v;
    } else if (name == "--id") {
      const auto text = value();
      const auto v = text ? toUnsigned(*text) : std::nullopt;
      if (!v || (*v != measurementId && *v != measurementIdHigh)) return fail(bad);
      o.log.messageId = static_cast<std::uint8_t>(*v);
    } else if (name == "--other") {
      const auto v = number(0, 100);
      if (!v) return fail(bad);
      o.log.otherPerEpoch = *v;
      otherGiven = true;
    } else if (name == "--other-ids") {
      const auto text = value();
      auto ids = text ? toIdList(*text) : std::nullopt;
      if (!ids) return fail(bad);
      o.log.otherIds = std::move(*ids);
    } else if (name == "--garbage") {
      const auto v = number(0, 1);
      if (!v) return fail(bad);
      o.log.garbageProbability = *v;
    } else if (name == "--corrupt") {
      const auto v = number(0, 1);
      if (!v) return fail(bad);
      o.log.corruptProbability = *v;
    } else if (name == "--truncate") {
      o.log.truncateEnd = true;
    } else if (name == "--clock-bias") {
      const auto v = number(-0.01, 0.01);
      if (!v) return fail(bad);
      o.log.simulation.clockBias = *v;
    } else if (name == "--clock-drift") {
      const auto v = number(-1e-5, 1e-5);
      if (!v) return fail(bad);
      o.log.simulation.clockDrift = *v;
    } else if (name == "--mask") {
      const auto v = number(-10, 90);
      if (!v) return fail(bad);
      o.log.simulation.elevationMaskDegrees = *v;
    } else if (name == "--slips") {
      const auto v = number(0, 3600);
      if (!v) return fail(bad);
      o.log.simulation.impairments.slipsPerHour = *v;
    } else if (name == "--lock-loss") {
      const auto v = number(0, 3600);
      if (!v) return fail(bad);
      o.log.simulation.impairments.lockLossPerHour = *v;
    } else if (name == "--code-noise") {
      const auto v = number(0, 1000);
      if (!v) return fail(bad);
      o.log.simulation.impairments.codeNoiseSigma = *v;
    } else if (name == "--outage") {
      const auto text = value();
      const auto v = text ? toOutage(*text) : std::nullopt;
      if (!v) return fail(bad);
      o.log.outages.push_back(*v);
    } else if (name == "--truth-rows") {
      const auto v = value();
      if (!v || (*v != "yes" && *v != "no")) return fail(bad);
      o.truthRows = *v == "yes";
    } else if (name == "--truth") {
      const auto v = value();
      if (!v || v->empty()) return fail(bad);
      o.truthPath = *v;
    } else if (name == "--stats") {
      o.stats = true;
    } else {
      return fail("unknown option " + std::string(arg));
    }
  }

  if (crossWeekEnd) {
    if (sowGiven) return fail("--cross-week-end and --sow exclude each other");
    o.log.simulation.start.seconds = secondsPerWeek - weekEndLead;
  }
  if (!o.log.otherIds.empty() && !otherGiven) o.log.otherPerEpoch = 1.0;
  const bool sizeGiven = o.log.sizeLimit != std::numeric_limits<std::uint64_t>::max();
  if (duration || !sizeGiven) {
    // Epochs at start, start + 1/rate, ... strictly before start + duration;
    // the small allowance keeps 10 s at 0.1 Hz from becoming 1.0000000001 epochs.
    const double epochs = std::ceil(duration.value_or(3600.0) * o.log.simulation.rateHz - 1e-6);
    o.log.epochLimit = static_cast<std::uint64_t>(epochs < 0.0 ? 0.0 : epochs);
  } else {
    o.log.epochLimit = std::numeric_limits<std::uint64_t>::max();
  }
  result.ok = true;
  return result;
}

}  // namespace zlogsim
