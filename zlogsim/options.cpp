// Command-line parsing for zlogsim.
#include "zlogsim/options.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "options/help_text.hpp"
#include "options/option_scanner.hpp"

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

// The command line as it is read, with what is settled only once every
// option has been seen.
struct Parsed {
  CommandLine options;
  std::optional<double> duration;
  bool crossWeekEnd = false;
  bool sowGiven = false;
  bool otherGiven = false;
};

// An option without a value.
struct Switch {
  void (*set)(Parsed&);
};

// A number from low to high, high itself left out when highExcluded; whole
// when asked.
struct Number {
  double low;
  double high;
  void (*set)(Parsed&, double);
  bool whole = false;
  bool highExcluded = false;
};

// Any other value; set refuses one that it cannot take.
struct Text {
  bool (*set)(Parsed&, std::string_view);
};

using Action = std::variant<Switch, Number, Text>;

using kapolex::options::longOnly;

struct Option {
  std::string_view name;  // the long name, without its dashes
  char shortName;         // longOnly for none
  std::string_view metavar;
  // Wrapped by helpText(); a line that starts with a space is kept as it is.
  std::string_view help;
  Action action;
};

// Every option, in the order --help lists them.
constexpr auto optionTable = std::to_array<Option>({
    {"output", 'o', "FILE", "log to write (default z.log; '-' for standard output)",
     Text{[](Parsed& p, std::string_view v) {
       if (v.empty()) return false;
       p.options.output = v;
       return true;
     }}},
    {"week", longOnly, "N", "GPS week of the first epoch (default 1356)",
     Number{0, 99999,
            [](Parsed& p, double v) {
              p.options.log.simulation.start.week = static_cast<std::int32_t>(v);
            },
            true}},
    {"sow", longOnly, "S",
     "receiver clock reading of the first epoch, seconds of week, 0 <= S < 604800 (default 0)",
     Number{0, secondsPerWeek,
            [](Parsed& p, double v) {
              p.options.log.simulation.start.seconds = v;
              p.sowGiven = true;
            },
            false, true}},
    {"cross-week-end", longOnly, "",
     "start 300 s before the end of the week, so the receive times wrap to 0 in the next week",
     Switch{[](Parsed& p) { p.crossWeekEnd = true; }}},
    {"duration", 'd', "S",
     "seconds of receiver time to cover (default 3600, or unlimited when --size is given)",
     Number{0, 1e9, [](Parsed& p, double v) { p.duration = v; }}},
    {"rate", 'r', "HZ", "epochs per second, 0.001 to 100 (default 1)",
     Number{0.001, 100, [](Parsed& p, double v) { p.options.log.simulation.rateHz = v; }}},
    {"size", longOnly, "BYTES",
     "stop before the log exceeds BYTES; suffixes K, M, G; the log ends with a whole message",
     Text{[](Parsed& p, std::string_view v) {
       const auto size = toSize(v);
       if (size) p.options.log.sizeLimit = *size;
       return size.has_value();
     }}},
    {"seed", 's', "N", "seed of every random choice (default 1)",
     Text{[](Parsed& p, std::string_view v) {
       const auto seed = toUnsigned(v);
       if (seed) p.options.log.simulation.seed = *seed;
       return seed.has_value();
     }}},
    {"id", longOnly, "N", "measurement message ID, 23 or 151 (default 23)",
     Text{[](Parsed& p, std::string_view v) {
       const auto id = toUnsigned(v);
       if (!id || (*id != measurementId && *id != measurementIdHigh)) return false;
       p.options.log.messageId = static_cast<std::uint8_t>(*id);
       return true;
     }}},
    {"other", longOnly, "MEAN",
     "mean number of other messages before each measurement message (default 0, or 1 with "
     "--other-ids; at most 8 per epoch)",
     Number{0, 100,
            [](Parsed& p, double v) {
              p.options.log.otherPerEpoch = v;
              p.otherGiven = true;
            }}},
    {"other-ids", longOnly, "LIST",
     "comma-separated IDs the other messages are drawn from (for example 8,19,50; default any "
     "ID but 23 and 151)",
     Text{[](Parsed& p, std::string_view v) {
       auto ids = toIdList(v);
       if (ids) p.options.log.otherIds = std::move(*ids);
       return ids.has_value();
     }}},
    {"garbage", longOnly, "P", "chance per message of 1-32 random bytes in front of it",
     Number{0, 1, [](Parsed& p, double v) { p.options.log.garbageProbability = v; }}},
    {"corrupt", longOnly, "P", "chance per message of one damaged header byte",
     Number{0, 1, [](Parsed& p, double v) { p.options.log.corruptProbability = v; }}},
    {"truncate", longOnly, "", "cut the last message short",
     Switch{[](Parsed& p) { p.options.log.truncateEnd = true; }}},
    {"clock-bias", longOnly, "S", "receiver clock offset at the start (default 3e-4 s)",
     Number{-0.01, 0.01, [](Parsed& p, double v) { p.options.log.simulation.clockBias = v; }}},
    {"clock-drift", longOnly, "R", "receiver clock drift (default 5e-9 s/s)",
     Number{-1e-5, 1e-5, [](Parsed& p, double v) { p.options.log.simulation.clockDrift = v; }}},
    {"mask", longOnly, "DEG", "elevation mask (default 10)",
     Number{-10, 90,
            [](Parsed& p, double v) { p.options.log.simulation.elevationMaskDegrees = v; }}},
    {"slips", longOnly, "RATE",
     "carrier-phase cycle slips per satellite-hour: each adds 1 to 1000 cycles (either sign) to "
     "the phase from that epoch on, on settled channels, without a flag",
     Number{0, 3600,
            [](Parsed& p, double v) { p.options.log.simulation.impairments.slipsPerHour = v; }}},
    {"lock-loss", longOnly, "RATE",
     "losses of lock per satellite-hour: the satellite vanishes for 1 or 2 epochs (half of them) "
     "or for 10 to 300 s (at least 3 epochs), then is reacquired with a new ambiguity and the "
     "tracking flags set",
     Number{0, 3600,
            [](Parsed& p, double v) { p.options.log.simulation.impairments.lockLossPerHour = v; }}},
    {"code-noise", longOnly, "M", "Gaussian pseudorange noise, standard deviation in m",
     Number{0, 1000,
            [](Parsed& p, double v) { p.options.log.simulation.impairments.codeNoiseSigma = v; }}},
    {"outage", longOnly, "T,S",
     "the receiver writes nothing for the epochs whose time since the first epoch lies in "
     "[T, T + S) seconds; tracking goes on; may be repeated",
     Text{[](Parsed& p, std::string_view v) {
       const auto outage = toOutage(v);
       if (outage) p.options.log.outages.push_back(*outage);
       return outage.has_value();
     }}},
    {"truth", longOnly, "FILE",
     "write the truth behind the log to FILE: a CSV row per channel record, then lines that "
     "begin with a keyword:\n"
     "  slip prn=P week=W sow=S cycles=K\n"
     "  lockloss prn=P week=W sow=S epochs=N\n"
     "  outage week=W sow=S epochs=N\n"
     "for the injected faults in log order (N: epochs drawn dark, or epochs left out), then the "
     "figures of the epochs written (see doc/developer-guide.md):\n"
     "  log first=W/S last=W/S interval=I epochs=N\n"
     "    expected=M gaps=G gap_epochs=E\n"
     "    longest_gap_epochs=L longest_gap_start=W/S\n"
     "  satellite prn=P epochs=N arcs=A first=W/S\n"
     "    last=W/S lol=L rollovers=R slips=K\n"
     "  arc prn=P first=W/S last=W/S epochs=N",
     Text{[](Parsed& p, std::string_view v) {
       if (v.empty()) return false;
       p.options.truthPath = v;
       return true;
     }}},
    {"truth-rows", longOnly, "yes|no", "whether the truth file has the CSV rows (default yes)",
     Text{[](Parsed& p, std::string_view v) {
       if (v != "yes" && v != "no") return false;
       p.options.truthRows = v == "yes";
       return true;
     }}},
    {"stats", longOnly, "", "print message counts and damage to standard error",
     Switch{[](Parsed& p) { p.options.stats = true; }}},
    {"help", 'h', "", "show this text", Switch{[](Parsed& p) { p.options.help = true; }}},
});

constexpr bool takesValue(const Option& option) {
  return !std::holds_alternative<Switch>(option.action);
}

// --help names the value of every option that takes one, and of no other.
static_assert(std::all_of(optionTable.begin(), optionTable.end(), [](const Option& option) {
  return takesValue(option) != option.metavar.empty();
}));

// The table as the scanner reads it.
constexpr auto scannerTable = [] {
  std::array<kapolex::options::OptionName, optionTable.size()> names{};
  std::transform(optionTable.begin(), optionTable.end(), names.begin(), [](const Option& option) {
    return kapolex::options::OptionName{option.name, option.shortName, takesValue(option)};
  });
  return names;
}();

// Carries out an option; false when its value is refused.
bool apply(const Option& option, Parsed& parsed, std::string_view value) {
  if (const auto* flag = std::get_if<Switch>(&option.action)) {
    flag->set(parsed);
    return true;
  }
  if (const auto* text = std::get_if<Text>(&option.action)) return text->set(parsed, value);
  const Number& number = std::get<Number>(option.action);
  const std::optional<double> v = toDouble(value);
  if (!v || *v < number.low || *v > number.high) return false;
  if ((number.whole && *v != std::floor(*v)) || (number.highExcluded && *v >= number.high)) {
    return false;
  }
  number.set(parsed, *v);
  return true;
}

// What is settled once every option has been seen: the start in the week,
// the other messages' rate and the number of epochs.
std::optional<std::string> settle(Parsed& parsed) {
  LogSettings& log = parsed.options.log;
  if (parsed.crossWeekEnd) {
    if (parsed.sowGiven) return "--cross-week-end and --sow exclude each other";
    log.simulation.start.seconds = secondsPerWeek - weekEndLead;
  }
  if (!log.otherIds.empty() && !parsed.otherGiven) log.otherPerEpoch = 1.0;
  const bool sizeGiven = log.sizeLimit != std::numeric_limits<std::uint64_t>::max();
  if (parsed.duration || !sizeGiven) {
    // Epochs at start, start + 1/rate, ... strictly before start + duration;
    // the small allowance keeps 10 s at 0.1 Hz from becoming 1.0000000001 epochs.
    const double epochs =
        std::ceil(parsed.duration.value_or(3600.0) * log.simulation.rateHz - 1e-6);
    log.epochLimit = static_cast<std::uint64_t>(epochs < 0.0 ? 0.0 : epochs);
  } else {
    log.epochLimit = std::numeric_limits<std::uint64_t>::max();
  }
  return std::nullopt;
}

constexpr std::string_view helpHead = R"(Usage: zlogsim [options]
Writes a simulated GPS receiver log: a static receiver tracking up to 12
satellites of a nominal constellation, one measurement message per epoch.

)";

}  // namespace

std::string helpText() {
  std::vector<kapolex::options::HelpEntry> entries;
  entries.reserve(optionTable.size());
  for (const Option& option : optionTable) {
    entries.push_back(
        {kapolex::options::optionColumn(option.shortName, option.name, option.metavar),
         option.help});
  }
  return std::string(helpHead) + kapolex::options::helpEntries(entries);
}

ParseResult parseCommandLine(std::span<const char* const> args) {
  using kapolex::options::ScanKind;
  ParseResult result;
  Parsed parsed;
  auto fail = [&result](std::string message) {
    result.ok = false;
    result.error = std::move(message);
    return result;
  };
  kapolex::options::OptionScanner scanner(scannerTable, args);
  while (const std::optional<kapolex::options::ScanItem> item = scanner.next()) {
    const std::string written = kapolex::options::writtenName(*item);
    switch (item->kind) {
      case ScanKind::option:
        if (!apply(optionTable[item->option], parsed, item->value)) {
          return fail("invalid or missing value for " + written);
        }
        break;
      case ScanKind::missingValue:
        return fail("invalid or missing value for " + written);
      case ScanKind::unexpectedValue:
        return fail("option --" + std::string(optionTable[item->option].name) + " takes no value");
      case ScanKind::ambiguousLong:
        return fail("ambiguous option " + written);
      case ScanKind::unknownShort:
        return fail("unknown option " + written);
      case ScanKind::unknownLong:
      case ScanKind::operand:  // zlogsim reads no file
        return fail("unknown option " + std::string(item->argument));
    }
  }
  if (std::optional<std::string> error = settle(parsed)) return fail(std::move(*error));
  result.ok = true;
  result.options = std::move(parsed.options);
  return result;
}

}  // namespace zlogsim
