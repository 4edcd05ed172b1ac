#include "run/command_line.hpp"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/ascii.hpp"
#include "measure/calendar.hpp"
#include "rinex/header.hpp"
#include "run/build_version.hpp"
#include "run/fixed_names.hpp"

namespace kapolex {

namespace {

constexpr std::int32_t smallestInterval = 1;
constexpr std::int32_t largestInterval = 3600;
constexpr std::string_view observationExtension = ".obs";

// Long options without a short form.
enum OptionCode : int {
  dateOption = 256,
  intervalOption,
  markerNameOption,
  markerNumberOption,
  observerOption,
  agencyOption,
  runByOption,
  receiverNumberOption,
  antennaNumberOption,
  antennaTypeOption,
  positionOption,
  antennaDeltaOption,
  snrOption,
  versionOption,
  qualityTextOption,
  qualityJsonOption,
  trackingPlotOption,
  noObservationsOption,
};

constexpr std::array<option, 23> longOptions{{
    {"output", required_argument, nullptr, 'o'},
    {"week", required_argument, nullptr, 'w'},
    {"date", required_argument, nullptr, dateOption},
    {"interval", required_argument, nullptr, intervalOption},
    {"marker-name", required_argument, nullptr, markerNameOption},
    {"marker-number", required_argument, nullptr, markerNumberOption},
    {"observer", required_argument, nullptr, observerOption},
    {"agency", required_argument, nullptr, agencyOption},
    {"run-by", required_argument, nullptr, runByOption},
    {"receiver-number", required_argument, nullptr, receiverNumberOption},
    {"antenna-number", required_argument, nullptr, antennaNumberOption},
    {"antenna-type", required_argument, nullptr, antennaTypeOption},
    {"position", required_argument, nullptr, positionOption},
    {"antenna-delta", required_argument, nullptr, antennaDeltaOption},
    {"snr", no_argument, nullptr, snrOption},
    {"qc", required_argument, nullptr, qualityTextOption},
    {"qc-json", required_argument, nullptr, qualityJsonOption},
    {"plot", required_argument, nullptr, trackingPlotOption},
    {"no-obs", no_argument, nullptr, noObservationsOption},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, versionOption},
    {nullptr, 0, nullptr, 0},
}};
// The leading colon tells a missing value from an unknown option.
constexpr const char* shortOptions = ":o:w:qh";

// A whole decimal number, with an optional plus sign, from low to high.
std::optional<std::int32_t> wholeNumber(std::string_view text, std::int32_t low,
                                        std::int32_t high) {
  if (text.starts_with('+')) text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // A minus sign, a digit beyond 64 bits or anything after the digits is
  // no whole number of the range.
  if (text.empty() || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

// A decimal number: digits with an optional sign, point and exponent.
std::optional<double> decimalNumber(std::string_view text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    return at - start;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissaDigits = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  // strtod rounds correctly; the C locale's point is the program's own,
  // as it never sets a locale.
  const std::string copy(text);
  const double value = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// Three comma-separated decimal numbers.
std::optional<Coordinates> threeNumbers(std::string_view text) {
  Coordinates values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::size_t comma = i + 1 < values.size() ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return std::nullopt;
    const std::optional<double> value = decimalNumber(text.substr(0, comma));
    if (!value) return std::nullopt;
    values[i] = *value;
    text.remove_prefix(comma == text.size() ? comma : comma + 1);
  }
  return values;
}

class Parser {
 public:
  explicit Parser(std::span<const char* const> arguments) {
    // The scanner reorders its copy of the arguments, GNU fashion, so that
    // options may follow the log.
    argv_.push_back(const_cast<char*>(commandName.data()));
    for (const char* argument : arguments) argv_.push_back(const_cast<char*>(argument));
    argv_.push_back(nullptr);
    if (!arguments.empty()) lastGiven_ = arguments.back();
  }

  CommandLine parse() {
    // The scanner keeps its place between calls; 0 starts it afresh.
    optind = 0;
    opterr = 0;
    const int argc = static_cast<int>(argv_.size() - 1);
    for (;;) {
      int index = -1;
      const int code = getopt_long(argc, argv_.data(), shortOptions, longOptions.data(), &index);
      if (code == -1) break;
      if (!handle(code, index)) return result_;
    }
    if (result_.action != CommandLine::Action::run) return result_;
    operands(std::span(argv_.data() + optind, argv_.size() - 1 - static_cast<std::size_t>(optind)));
    return result_;
  }

 private:
  bool fail(std::string message) {
    if (result_.action != CommandLine::Action::usageError) {
      result_.action = CommandLine::Action::usageError;
      result_.error = std::move(message);
    }
    return false;
  }

  // The option as the user wrote it, for messages.
  std::string optionName(int code, int index) const {
    if (index >= 0) return std::string("--") + longOptions[static_cast<std::size_t>(index)].name;
    for (const ::option& known : longOptions) {
      if (known.name != nullptr && known.val == code) return std::string("--") + known.name;
    }
    return std::string("-") + static_cast<char>(code);
  }

  bool handle(int code, int index) {
    const std::string_view value = optarg != nullptr ? optarg : "";
    if (code == '?') return unknownOption();
    // Only the last argument can lack its value. Where the scanner leaves
    // optind then, and its copy of the arguments, differs between C
    // libraries, so the argument is taken as given.
    if (code == ':') return fail("option '" + lastGiven_ + "' requires a value");
    const std::string name = optionName(code, index);
    switch (code) {
      case 'o':
        return outputPath(value, name);
      case 'w':
        return week(name, value, wholeNumber(value, 1, std::numeric_limits<std::int32_t>::max()));
      case dateOption:
        return week(name, value, gpsWeekOfDate(value));
      case intervalOption:
        return interval(name, value);
      case markerNameOption:
        return text(result_.options.header.markerName, markerNameField, name, value);
      case markerNumberOption:
        return text(result_.options.header.markerNumber, markerNumberField, name, value);
      case observerOption:
        return text(result_.options.header.observer, observerField, name, value);
      case agencyOption:
        return text(result_.options.header.agency, agencyField, name, value);
      case runByOption:
        return text(result_.options.header.runBy, runByField, name, value);
      case receiverNumberOption:
        return text(result_.options.header.receiverNumber, receiverNumberField, name, value);
      case antennaNumberOption:
        return text(result_.options.header.antennaNumber, antennaNumberField, name, value);
      case antennaTypeOption:
        return text(result_.options.header.antennaType, antennaTypeField, name, value);
      case positionOption:
        return coordinates(result_.options.header.position, name, value);
      case antennaDeltaOption:
        return coordinates(result_.options.header.antennaDelta, name, value);
      case snrOption:
        result_.options.header.withSnr = true;
        return true;
      case qualityTextOption:
        return reportPath(result_.options.qualityTextPath, value, name);
      case qualityJsonOption:
        return reportPath(result_.options.qualityJsonPath, value, name);
      case trackingPlotOption:
        return reportPath(result_.options.trackingPlotPath, value, name);
      case noObservationsOption:
        noObservations_ = true;
        return true;
      case 'q':
        result_.options.quiet = true;
        return true;
      case 'h':
        return action(CommandLine::Action::help);
      case versionOption:
        return action(CommandLine::Action::version);
      default:
        return unknownOption();
    }
  }

  std::string lastArgument() const {
    const int at = optind - 1;
    if (at >= 1 && static_cast<std::size_t>(at) < argv_.size() - 1)
      return argv_[static_cast<std::size_t>(at)];
    return "";
  }

  bool unknownOption() {
    const std::string argument = lastArgument();
    if (!argument.starts_with("--")) {
      return fail(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
    }
    const std::string name = argument.substr(0, argument.find('='));
    if (name.size() < argument.size()) {
      for (const ::option& known : longOptions) {
        if (known.name != nullptr && known.has_arg == no_argument &&
            std::string_view(known.name).starts_with(std::string_view(name).substr(2))) {
          return fail("option '--" + std::string(known.name) + "' takes no value");
        }
      }
    }
    return fail("unknown or ambiguous option '" + name + "'");
  }

  bool action(CommandLine::Action wanted) {
    // Help wins over the version; both win over running.
    if (result_.action == CommandLine::Action::run ||
        (result_.action == CommandLine::Action::version && wanted == CommandLine::Action::help)) {
      result_.action = wanted;
    }
    return true;
  }

  bool outputPath(std::string_view value, const std::string& name) {
    if (value.empty()) return fail("option '" + name + "' needs a file name");
    output_ = std::string(value);
    return true;
  }

  bool reportPath(std::string& target, std::string_view value, const std::string& name) {
    if (value.empty()) return fail("option '" + name + "' needs a file name");
    target = std::string(value);
    return true;
  }

  bool week(const std::string& name, std::string_view value, std::optional<std::int32_t> week) {
    if (!weekOption_.empty() && weekOption_ != name) {
      return fail("options '" + weekOption_ + "' and '" + name + "' exclude each other");
    }
    weekOption_ = name;
    if (!week) {
      if (name == "--date") {
        return fail("invalid date '" + std::string(value) +
                    "' for '--date': give YYYY-MM-DD, from 1980-01-06 on");
      }
      return fail("invalid week '" + std::string(value) + "' for '" + name +
                  "': give a whole number of at least 1");
    }
    result_.options.week = week;
    return true;
  }

  bool interval(const std::string& name, std::string_view value) {
    const std::optional<std::int32_t> seconds =
        wholeNumber(value, smallestInterval, largestInterval);
    if (!seconds) {
      return fail("invalid interval '" + std::string(value) + "' for '" + name +
                  "': give whole seconds from 1 to 3600");
    }
    result_.options.header.intervalSeconds = *seconds;
    return true;
  }

  bool text(std::string& target, const HeaderTextField& field, const std::string& name,
            std::string_view value) {
    if (value.size() > field.width) {
      return fail("'" + name + "' takes at most " + std::to_string(field.width) + " characters; '" +
                  std::string(value) + "' has " + std::to_string(value.size()));
    }
    if (!fitsHeaderField(value, field.width)) {
      return fail("'" + name + "' takes printable ASCII characters only");
    }
    target = std::string(value);
    return true;
  }

  bool coordinates(std::optional<Coordinates>& target, const std::string& name,
                   std::string_view value) {
    const std::optional<Coordinates> parsed = threeNumbers(value);
    if (!parsed) {
      return fail("invalid value '" + std::string(value) + "' for '" + name +
                  "': give three numbers in metres, separated by commas");
    }
    if (!fitsHeaderCoordinates(*parsed)) {
      return fail("value '" + std::string(value) + "' for '" + name +
                  "' does not fit the header's columns (F14.4)");
    }
    target = parsed;
    return true;
  }

  void operands(std::span<char*> rest) {
    if (rest.size() > 1) {
      fail("more than one log given: '" + std::string(rest[1]) + "'");
      return;
    }
    RunOptions& options = result_.options;
    const bool logGiven = !rest.empty();
    options.logPath = logGiven ? std::string(rest[0]) : std::string(logFileName);
    if (options.logPath.empty()) {
      fail("the log's name is empty");
      return;
    }
    if (!observationFile(logGiven)) return;
    if (!oneStandardOutput()) return;
    if (options.week) return;
    if (options.logPath == standardStreamName) {
      fail("a log read from standard input needs '--week' or '--date'");
    } else if (options.writesStandardOutput()) {
      fail("an output on standard output needs '--week' or '--date'");
    }
  }

  bool observationFile(bool logGiven) {
    RunOptions& options = result_.options;
    if (noObservations_) {
      if (output_) return fail("options '--no-obs' and '--output' exclude each other");
      options.observationPath.clear();
    } else if (output_) {
      options.observationPath = *output_;
    } else if (!logGiven) {
      options.observationPath = std::string(observationFileName);
    } else if (options.logPath == standardStreamName) {
      options.observationPath = std::string(standardStreamName);
    } else {
      options.observationPath = observationPathFor(options.logPath);
    }
    return true;
  }

  // At most one output may go to standard output.
  bool oneStandardOutput() {
    std::string_view first;
    for (const RunOptions::Output& output : result_.options.outputs()) {
      if (*output.path != standardStreamName) continue;
      if (!first.empty()) {
        return fail(std::string(first) + " and " + std::string(output.option) +
                    " cannot both go to standard output");
      }
      first = output.option;
    }
    return true;
  }

  std::vector<char*> argv_;
  std::string lastGiven_;  // the last argument, as given
  CommandLine result_;
  std::optional<std::string> output_;
  bool noObservations_ = false;
  std::string weekOption_;  // --week or --date, whichever came first
};

}  // namespace

std::array<RunOptions::Output, 4> RunOptions::outputs() const {
  return {{{&observationPath, "the observation file", "the observation file"},
           {&qualityTextPath, "'--qc'", "the quality report"},
           {&qualityJsonPath, "'--qc-json'", "the JSON quality report"},
           {&trackingPlotPath, "'--plot'", "the tracking plot"}}};
}

bool RunOptions::writesStandardOutput() const {
  const auto outputList = outputs();
  return std::any_of(outputList.begin(), outputList.end(),
                     [](const Output& output) { return *output.path == standardStreamName; });
}

CommandLine parseCommandLine(std::span<const char* const> arguments) {
  return Parser(arguments).parse();
}

std::optional<std::int32_t> gpsWeekOfDate(std::string_view date) {
  // YYYY-MM-DD: ten characters, the dashes in their places.
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
  const auto field = [&](std::size_t at, std::size_t length) -> std::optional<std::int32_t> {
    std::int32_t value = 0;
    for (const char c : date.substr(at, length)) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    return value;
  };
  const auto year = field(0, 4), month = field(5, 2), day = field(8, 2);
  if (!year || !month || !day || !isCivilDate(*year, *month, *day)) return std::nullopt;
  const std::int32_t days = mjdOfDate(*year, *month, *day) - gpsEpochMjd;
  if (days < 0) return std::nullopt;
  return days / 7;
}

std::string observationPathFor(std::string_view logPath) {
  const std::size_t nameStart = logPath.find_last_of('/') + 1;  // npos + 1 is 0
  const std::size_t dot = logPath.find_last_of('.');
  // A dot that starts the file name marks a hidden file, not an extension.
  const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
  std::string path(hasExtension ? logPath.substr(0, dot) : logPath);
  path += observationExtension;
  return path;
}

std::string usageText() {
  return R"(Usage: kapolex [OPTIONS] [LOG]
Converts the raw-measurement log of an L1 GPS receiver into a RINEX 2.10
observation file: L1 carrier phase and C1 pseudorange, one epoch every
5 seconds of receive time. Without arguments it reads z.log in the working
directory, writes z.obs beside it and asks for the GPS week at the console.

LOG is the log to read (default z.log); '-' reads it from standard input.

  -o, --output FILE        the observation file (default: z.obs without LOG,
                           else LOG with its extension replaced by .obs;
                           standard output when LOG is '-'); '-' is standard
                           output
  -w, --week N             the GPS week of the log's first epoch (a whole
                           number, at least 1); no prompt is shown
      --date YYYY-MM-DD    the calendar date of the log's first epoch; the
                           week is the GPS week that holds it (from
                           1980-01-06 on); excludes --week
      --interval S         keep epochs whose rounded receive time is a
                           multiple of S whole seconds, 1 to 3600 (default 5)
      --marker-name TEXT   MARKER NAME (60 characters at most)
      --marker-number TEXT MARKER NUMBER (20)
      --observer TEXT      OBSERVER (20)
      --agency TEXT        AGENCY (40)
      --run-by TEXT        RUN BY (20)
      --receiver-number TEXT  REC # (20)
      --antenna-number TEXT   ANT # (20)
      --antenna-type TEXT     ANT TYPE (20)
      --position X,Y,Z     APPROX POSITION XYZ in metres
      --antenna-delta H,E,N  ANTENNA: DELTA H/E/N in metres
      --snr                add S1, the signal as C/N0 in dB-Hz
      --qc FILE            a quality report of the whole log, as text
      --qc-json FILE       the same figures as JSON
      --plot FILE          a tracking plot of the whole log, as SVG
      --no-obs             write no observation file
  -q, --quiet              print no summary
  -h, --help               show this text and exit
      --version            show the version and exit
      --                   end the options

Texts must be printable ASCII; a value that does not fit its header field is
refused. FILE '-' is standard output, for one output at most; the summary
then goes to standard error. Usage errors exit with status 2.
)";
}

std::string versionLines() {
  return std::string(commandName) + " " + std::string(versionText) + "\nbuild " +
         std::string(buildVersion) + "\n";
}

}  // namespace kapolex
