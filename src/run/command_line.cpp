#include "run/command_line.hpp"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>

#include "rinex/header_fields.hpp"
#include "rinex/header_texts.hpp"
#include "rinex/standard_names.hpp"
#include "run/build_version.hpp"
#include "run/fixed_names.hpp"
#include "run/option_values.hpp"
#include "run/output_names.hpp"
#include "run/run_files.hpp"

namespace kapolex {

namespace {

constexpr std::int32_t smallestInterval = 1;
constexpr std::int32_t largestInterval = 3600;

// A kind of value: how its text is read, and what a usage error says when
// it cannot be: "invalid NOUN 'TEXT' for 'OPTION': HINT".
template <typename T>
struct ValueKind {
  std::optional<T> (*read)(std::string_view text);
  std::string_view noun;
  std::string_view hint;
};

constexpr ValueKind<std::int32_t> weekNumber{
    [](std::string_view text) {
      return wholeNumber(text, 1, std::numeric_limits<std::int32_t>::max());
    },
    "week", "give a whole number of at least 1"};
constexpr ValueKind<std::int32_t> surveyDate{gpsWeekOfDate, "date",
                                             "give YYYY-MM-DD, from 1980-01-06 on"};
constexpr ValueKind<std::int32_t> intervalSeconds{
    [](std::string_view text) { return wholeNumber(text, smallestInterval, largestInterval); },
    "interval", "give whole seconds from 1 to 3600"};
constexpr ValueKind<Coordinates> metres{threeNumbers, "value",
                                        "give three numbers in metres, separated by commas"};
constexpr ValueKind<RinexVersion> rinexVersionNumber{
    [](std::string_view text) -> std::optional<RinexVersion> {
      if (text == "2") return RinexVersion::v2_10;
      if (text == "3") return RinexVersion::v3_04;
      return std::nullopt;
    },
    "RINEX version", "give 2 or 3"};
constexpr ValueKind<std::int64_t> gpsTime{
    gpsSecondOfDateTime, "time",
    "give YYYY-MM-DDTHH:MM:SS in GPS time, whole seconds, from 1980-01-06 on"};
constexpr ValueKind<FilePeriod> filePeriod{[](std::string_view text) -> std::optional<FilePeriod> {
                                             if (text == "day") return dailyPeriod;
                                             if (text == "hour") return hourlyPeriod;
                                             return std::nullopt;
                                           },
                                           "period", "give day or hour"};

// What an option does. Each kind is carried out by its own Parser::apply.
struct OutputFile {
  std::string RunOptions::*path;
};
struct NoObservations {};
struct Week {  // --week and --date, which exclude each other
  const ValueKind<std::int32_t>* kind;
};
struct HeaderNumber {
  std::int32_t HeaderFields::*member;
  const ValueKind<std::int32_t>* kind;
};
struct HeaderText {
  std::string HeaderFields::*member;
  const HeaderTextField* field;
};
struct HeaderCoordinates {
  std::optional<Coordinates> HeaderFields::*member;
};
struct HeaderSwitch {
  bool HeaderFields::*member;
};
struct RunSwitch {
  bool RunOptions::*member;
};
struct HeaderVersion {};
struct WindowEdge {  // --start and --end
  std::optional<std::int64_t> TimeWindow::*edge;
};
struct Split {};
struct StandardName {};
struct Station {};
struct Request {  // help or the version instead of a run
  CommandLine::Action action;
};
using Effect = std::variant<OutputFile, NoObservations, Week, HeaderNumber, HeaderText,
                            HeaderCoordinates, HeaderSwitch, RunSwitch, HeaderVersion, WindowEdge,
                            Split, StandardName, Station, Request>;

constexpr char longOnly = '\0';

// One option, as the scanner, the parser and --help see it.
struct OptionSpec {
  std::string_view name;     // the long name, a string literal: getopt_long reads it as one
  char shortName;            // longOnly for none
  std::string_view metavar;  // what --help calls the value; empty for an option without one
  std::string_view help;     // wrapped by usageText()
  Effect effect;
};

// Every option, in the order --help lists them.
constexpr auto optionTable = std::to_array<OptionSpec>({
    {"output", 'o', "FILE",
     "the observation file (default: z.obs without LOG, else LOG with its extension replaced by "
     ".obs; standard output when LOG is '-'); '-' is standard output; with --split or "
     "--standard-name, the folder of the observation files (default: the log's folder)",
     OutputFile{&RunOptions::observationPath}},
    {"week", 'w', "N",
     "the GPS week of the log's first epoch (a whole number, at least 1); no prompt is shown",
     Week{&weekNumber}},
    {"date", longOnly, "YYYY-MM-DD",
     "the calendar date of the log's first epoch; the week is the GPS week that holds it (from "
     "1980-01-06 on); excludes --week",
     Week{&surveyDate}},
    {"interval", longOnly, "S",
     "keep epochs whose rounded receive time is a multiple of S whole seconds, 1 to 3600 "
     "(default 5)",
     HeaderNumber{&HeaderFields::intervalSeconds, &intervalSeconds}},
    {"rinex-version", longOnly, "2|3",
     "the RINEX version of the observation files: 2 for 2.10 (the default) or 3 for 3.04",
     HeaderVersion{}},
    {"start", longOnly, "TIME",
     "write only the kept epochs at or after GPS time TIME, given as YYYY-MM-DDTHH:MM:SS (a blank "
     "may stand for the T); an epoch's time is its receive time rounded to the second",
     WindowEdge{&TimeWindow::start}},
    {"end", longOnly, "TIME", "write only the kept epochs before GPS time TIME",
     WindowEdge{&TimeWindow::end}},
    {"split", longOnly, "day|hour",
     "a new observation file at each GPS midnight or hour, each under its standard name", Split{}},
    {"standard-name", longOnly, "",
     "give the observation file its standard name, from its first epoch and span", StandardName{}},
    {"station", longOnly, "ID",
     "the station in standard names: 4 letters or digits, or for RINEX 3 also 9 characters "
     "(SSSSMRCCC); default: the first 4 characters of --marker-name, or XXXX",
     Station{}},
    {"marker-name", longOnly, "TEXT", "MARKER NAME (60 characters at most)",
     HeaderText{&HeaderFields::markerName, &markerNameField}},
    {"marker-number", longOnly, "TEXT", "MARKER NUMBER (20)",
     HeaderText{&HeaderFields::markerNumber, &markerNumberField}},
    {"observer", longOnly, "TEXT", "OBSERVER (20)",
     HeaderText{&HeaderFields::observer, &observerField}},
    {"agency", longOnly, "TEXT", "AGENCY (40)", HeaderText{&HeaderFields::agency, &agencyField}},
    {"run-by", longOnly, "TEXT", "RUN BY (20)", HeaderText{&HeaderFields::runBy, &runByField}},
    {"receiver-number", longOnly, "TEXT", "REC # (20)",
     HeaderText{&HeaderFields::receiverNumber, &receiverNumberField}},
    {"antenna-number", longOnly, "TEXT", "ANT # (20)",
     HeaderText{&HeaderFields::antennaNumber, &antennaNumberField}},
    {"antenna-type", longOnly, "TEXT", "ANT TYPE (20)",
     HeaderText{&HeaderFields::antennaType, &antennaTypeField}},
    {"position", longOnly, "X,Y,Z", "APPROX POSITION XYZ in metres",
     HeaderCoordinates{&HeaderFields::position}},
    {"antenna-delta", longOnly, "H,E,N", "ANTENNA: DELTA H/E/N in metres",
     HeaderCoordinates{&HeaderFields::antennaDelta}},
    {"snr", longOnly, "", "add S1 (S1C in RINEX 3), the signal as C/N0 in dB-Hz",
     HeaderSwitch{&HeaderFields::withSnr}},
    {"qc", longOnly, "FILE", "a quality report of the whole log, as text",
     OutputFile{&RunOptions::qualityTextPath}},
    {"qc-json", longOnly, "FILE", "the same figures as JSON",
     OutputFile{&RunOptions::qualityJsonPath}},
    {"plot", longOnly, "FILE", "a tracking plot of the whole log, as SVG",
     OutputFile{&RunOptions::trackingPlotPath}},
    {"no-obs", longOnly, "", "write no observation file", NoObservations{}},
    {"quiet", 'q', "", "print no summary", RunSwitch{&RunOptions::quiet}},
    {"help", 'h', "", "show this text and exit", Request{CommandLine::Action::help}},
    {"version", longOnly, "", "show the version and exit", Request{CommandLine::Action::version}},
});

// Whether an option of a kind reads a value; those that do not are switches
// and requests.
template <typename Kind>
constexpr bool readsValue =
    !std::is_same_v<Kind, NoObservations> && !std::is_same_v<Kind, HeaderSwitch> &&
    !std::is_same_v<Kind, RunSwitch> && !std::is_same_v<Kind, StandardName> &&
    !std::is_same_v<Kind, Request>;

constexpr bool takesValue(const OptionSpec& entry) {
  return std::visit(
      [](const auto& effect) { return readsValue<std::remove_cvref_t<decltype(effect)>>; },
      entry.effect);
}

// --help names the value of every option that takes one, and of no other.
static_assert(std::all_of(optionTable.begin(), optionTable.end(), [](const OptionSpec& entry) {
  return takesValue(entry) != entry.metavar.empty();
}));

// Each output has an option that names its file, and usage errors name the
// output by that option.
constexpr bool outputsHaveTheirOptions() {
  return std::all_of(runOutputs.begin(), runOutputs.end(), [](const RunOutput& output) {
    return std::any_of(optionTable.begin(), optionTable.end(), [&](const OptionSpec& entry) {
      const auto* file = std::get_if<OutputFile>(&entry.effect);
      return file != nullptr && file->path == output.path &&
             (output.option.empty() ||
              (output.option.starts_with("--") && output.option.substr(2) == entry.name));
    });
  });
}
static_assert(outputsHaveTheirOptions());

// The scanner reports a long option by its place in the table, offset past
// every character a short option could be.
constexpr int firstLongCode = 256;

constexpr auto longOptions = [] {
  std::array<option, optionTable.size() + 1> list{};  // ends in a zero entry
  for (std::size_t i = 0; i < optionTable.size(); ++i) {
    const OptionSpec& entry = optionTable[i];
    list[i] = {entry.name.data(), takesValue(entry) ? required_argument : no_argument, nullptr,
               firstLongCode + static_cast<int>(i)};
  }
  return list;
}();

// The leading colon tells a missing value from an unknown option.
constexpr auto shortOptions = [] {
  std::array<char, 2 + 2 * optionTable.size()> text{};  // ends in a zero
  std::size_t at = 0;
  text[at++] = ':';
  for (const OptionSpec& entry : optionTable) {
    if (entry.shortName == longOnly) continue;
    text[at++] = entry.shortName;
    if (takesValue(entry)) text[at++] = ':';
  }
  return text;
}();

template <typename T>
std::string invalidValue(const ValueKind<T>& kind, const std::string& name,
                         std::string_view value) {
  return "invalid " + std::string(kind.noun) + " '" + std::string(value) + "' for '" + name +
         "': " + std::string(kind.hint);
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
      const int code =
          getopt_long(argc, argv_.data(), shortOptions.data(), longOptions.data(), &index);
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

  bool handle(int code, int index) {
    if (code == '?') return unknownOption();
    if (code == ':') {
      // A switch given a value ("--snr=yes") is a missing value to some
      // scanners (MinGW's) and an unknown option to others (glibc's); only
      // the second reading fits, as a value given with '=' is never missing.
      if (lastArgument().find('=') != std::string::npos) return unknownOption();
      // Only the last argument can lack its value. Where the scanner leaves
      // optind then, and its copy of the arguments, differs between C
      // libraries, so the argument is taken as given.
      return fail("option '" + lastGiven_ + "' requires a value");
    }
    const OptionSpec* entry = optionFor(code, index);
    if (entry == nullptr) return unknownOption();
    // Messages name an option by its long name, however it was written.
    const std::string name = "--" + std::string(entry->name);
    const std::string_view value = optarg != nullptr ? optarg : "";
    return std::visit([&](const auto& effect) { return apply(effect, name, value); },
                      entry->effect);
  }

  static const OptionSpec* optionFor(int code, int index) {
    if (index >= 0) return &optionTable[static_cast<std::size_t>(index)];
    const auto found =
        std::find_if(optionTable.begin(), optionTable.end(),
                     [&](const OptionSpec& entry) { return entry.shortName == code; });
    return found != optionTable.end() ? &*found : nullptr;
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
      for (const OptionSpec& entry : optionTable) {
        if (!takesValue(entry) && entry.name.starts_with(std::string_view(name).substr(2))) {
          return fail("option '--" + std::string(entry.name) + "' takes no value");
        }
      }
    }
    return fail("unknown or ambiguous option '" + name + "'");
  }

  HeaderFields& header() { return result_.options.header; }

  bool apply(const OutputFile& effect, const std::string& name, std::string_view value) {
    if (value.empty()) return fail("option '" + name + "' needs a file name");
    result_.options.*effect.path = std::string(value);
    return true;
  }

  bool apply(NoObservations /*effect*/, const std::string& /*name*/, std::string_view /*value*/) {
    noObservations_ = true;
    return true;
  }

  bool apply(const Week& effect, const std::string& name, std::string_view value) {
    if (!weekOption_.empty() && weekOption_ != name) {
      return fail("options '" + weekOption_ + "' and '" + name + "' exclude each other");
    }
    weekOption_ = name;
    const std::optional<std::int32_t> week = effect.kind->read(value);
    if (!week) return fail(invalidValue(*effect.kind, name, value));
    result_.options.week = week;
    return true;
  }

  bool apply(const HeaderNumber& effect, const std::string& name, std::string_view value) {
    const std::optional<std::int32_t> number = effect.kind->read(value);
    if (!number) return fail(invalidValue(*effect.kind, name, value));
    header().*effect.member = *number;
    return true;
  }

  bool apply(const HeaderText& effect, const std::string& name, std::string_view value) {
    const std::size_t width = effect.field->width;
    if (value.size() > width) {
      return fail("'" + name + "' takes at most " + std::to_string(width) + " characters; '" +
                  std::string(value) + "' has " + std::to_string(value.size()));
    }
    if (!fitsHeaderField(value, width)) {
      return fail("'" + name + "' takes printable ASCII characters only");
    }
    header().*effect.member = std::string(value);
    return true;
  }

  bool apply(const HeaderCoordinates& effect, const std::string& name, std::string_view value) {
    const std::optional<Coordinates> coordinates = metres.read(value);
    if (!coordinates) return fail(invalidValue(metres, name, value));
    if (!fitsHeaderCoordinates(*coordinates)) {
      return fail("value '" + std::string(value) + "' for '" + name +
                  "' does not fit the header's columns (F14.4)");
    }
    header().*effect.member = coordinates;
    return true;
  }

  bool apply(const HeaderSwitch& effect, const std::string& /*name*/, std::string_view /*value*/) {
    header().*effect.member = true;
    return true;
  }

  bool apply(const RunSwitch& effect, const std::string& /*name*/, std::string_view /*value*/) {
    result_.options.*effect.member = true;
    return true;
  }

  bool apply(HeaderVersion /*effect*/, const std::string& name, std::string_view value) {
    const std::optional<RinexVersion> version = rinexVersionNumber.read(value);
    if (!version) return fail(invalidValue(rinexVersionNumber, name, value));
    header().rinexVersion = *version;
    return true;
  }

  bool apply(const WindowEdge& effect, const std::string& name, std::string_view value) {
    const std::optional<std::int64_t> second = gpsTime.read(value);
    if (!second) return fail(invalidValue(gpsTime, name, value));
    result_.options.window.*effect.edge = second;
    return true;
  }

  bool apply(Split /*effect*/, const std::string& name, std::string_view value) {
    split_ = filePeriod.read(value);
    return split_ || fail(invalidValue(filePeriod, name, value));
  }

  bool apply(StandardName /*effect*/, const std::string& /*name*/, std::string_view /*value*/) {
    standardName_ = true;
    return true;
  }

  // The id is checked with the others once the version is known.
  bool apply(Station /*effect*/, const std::string& /*name*/, std::string_view value) {
    station_ = std::string(value);
    return true;
  }

  bool apply(const Request& effect, const std::string& /*name*/, std::string_view /*value*/) {
    // Help wins over the version; both win over running.
    if (result_.action == CommandLine::Action::run ||
        (result_.action == CommandLine::Action::version &&
         effect.action == CommandLine::Action::help)) {
      result_.action = effect.action;
    }
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
    if (options.window.start && options.window.end &&
        *options.window.end <= *options.window.start) {
      fail("'--end' must be after '--start'");
      return;
    }
    if (!observationFile(logGiven)) return;
    // RINEX 3 files and files named by their epochs close their header with
    // the last epoch's time, where the output can be rewritten.
    if (options.header.rinexVersion == RinexVersion::v3_04 || options.naming) {
      options.header.withLastObservation = true;
    }
    if (const std::optional<std::string> clash = standardOutputClash(options)) {
      fail(*clash);
      return;
    }
    if (options.week) return;
    if (options.logPath == standardStreamName) {
      fail("a log read from standard input needs '--week' or '--date'");
    } else if (writesStandardOutput(options)) {
      fail("an output on standard output needs '--week' or '--date'");
    }
  }

  // The option that asks for files named by their epochs, if any.
  std::string_view namingOption() const {
    if (split_) return "--split";
    if (standardName_) return "--standard-name";
    return "";
  }

  // The observation file as --output gave it, or derived from the log; or
  // the standard naming of files named by their epochs.
  bool observationFile(bool logGiven) {
    RunOptions& options = result_.options;
    std::string& path = options.observationPath;
    const std::string_view naming = namingOption();
    if (noObservations_) {
      // Options about the observation files make no sense without them.
      std::string_view other = !path.empty()          ? "--output"
                               : !naming.empty()      ? naming
                               : options.window.start ? "--start"
                               : options.window.end   ? "--end"
                               : station_.has_value() ? "--station"
                                                      : "";
      return other.empty() ||
             fail("options '--no-obs' and '" + std::string(other) + "' exclude each other");
    }
    if (!naming.empty()) return standardNaming(naming);
    if (station_) return fail("option '--station' needs '--split' or '--standard-name'");
    if (!path.empty()) return true;
    if (!logGiven) {
      path = std::string(observationFileName);
    } else if (options.logPath == standardStreamName) {
      path = std::string(standardStreamName);
    } else {
      path = observationPathFor(options.logPath);
    }
    return true;
  }

  // Files named by their epochs, in the folder --output names or the log's.
  bool standardNaming(std::string_view option) {
    RunOptions& options = result_.options;
    std::string& path = options.observationPath;
    if (path == standardStreamName) {
      return fail("options '" + std::string(option) + "' and '--output -' exclude each other");
    }
    StandardNaming naming;
    naming.folder = path.empty() ? folderOf(options.logPath) : path;
    path.clear();
    const RinexVersion version = header().rinexVersion;
    if (station_ && !isStationId(*station_, version)) {
      return fail("invalid station '" + *station_ + "' for '--station': " +
                  (version == RinexVersion::v3_04
                       ? "give 4 letters or digits, or 9 characters: 4 letters or digits, 2 "
                         "digits and 3 letters"
                       : "give 4 letters or digits (9 characters need '--rinex-version 3')"));
    }
    naming.station = station_ ? *station_ : defaultStationId(header().markerName);
    naming.split = split_;
    naming.temporaryPath = temporaryPathFor(naming.folder, options.logPath);
    options.naming = std::move(naming);
    return true;
  }

  std::vector<char*> argv_;
  std::string lastGiven_;  // the last argument, as given
  CommandLine result_;
  bool noObservations_ = false;
  std::optional<FilePeriod> split_;
  bool standardName_ = false;
  std::optional<std::string> station_;
  std::string weekOption_;  // --week or --date, whichever came first
};

constexpr std::string_view usageHead = R"(Usage: kapolex [OPTIONS] [LOG]
Converts the raw-measurement log of an L1 GPS receiver into a RINEX 2.10 (or
3.04) observation file: L1 carrier phase and C1 pseudorange, one epoch every
5 seconds of receive time. Without arguments it reads z.log in the working
directory, writes z.obs beside it and asks for the GPS week at the console.

LOG is the log to read (default z.log); '-' reads it from standard input.

)";

constexpr std::string_view endOfOptions = "--";
constexpr std::string_view endOfOptionsHelp = "end the options";

constexpr std::string_view usageFoot = R"(
Texts must be printable ASCII; a value that does not fit its header field is
refused. FILE '-' is standard output, for one output at most; the summary
then goes to standard error. Usage errors exit with status 2.
)";

constexpr std::size_t usageWidth = 79;

// "  -o, --output FILE": an option as the left column of --help shows it.
std::string optionColumn(const OptionSpec& entry) {
  std::string column = entry.shortName != longOnly ? std::string("  -") + entry.shortName + ", "
                                                   : std::string(6, ' ');
  column += "--";
  column += entry.name;
  if (takesValue(entry)) {
    column += ' ';
    column += entry.metavar;
  }
  return column;
}

// Appends an entry of --help: the left column, then the help's words from
// helpColumn on, wrapped to the usage width.
void appendEntry(std::string& text, const std::string& column, std::string_view help,
                 std::size_t helpColumn) {
  std::string line = column;
  line.resize(helpColumn, ' ');
  bool lineHasWords = false;
  while (!help.empty()) {
    const std::string_view word = help.substr(0, help.find(' '));
    help.remove_prefix(std::min(help.size(), word.size() + 1));
    if (lineHasWords && line.size() + 1 + word.size() > usageWidth) {
      text += line;
      text += '\n';
      line.assign(helpColumn, ' ');
      lineHasWords = false;
    }
    if (lineHasWords) line += ' ';
    line += word;
    lineHasWords = true;
  }
  text += line;
  text += '\n';
}

}  // namespace

CommandLine parseCommandLine(std::span<const char* const> arguments) {
  return Parser(arguments).parse();
}

std::string usageText() {
  std::array<std::string, optionTable.size()> columns;
  std::transform(optionTable.begin(), optionTable.end(), columns.begin(), optionColumn);
  const std::string endColumn = std::string(6, ' ') + std::string(endOfOptions);
  std::size_t widest = endColumn.size();
  for (const std::string& column : columns) widest = std::max(widest, column.size());
  const std::size_t helpColumn = widest + 2;

  std::string text(usageHead);
  for (std::size_t i = 0; i < optionTable.size(); ++i) {
    appendEntry(text, columns[i], optionTable[i].help, helpColumn);
  }
  appendEntry(text, endColumn, endOfOptionsHelp, helpColumn);
  text += usageFoot;
  return text;
}

std::string versionLines() {
  return std::string(commandName) + " " + std::string(versionText) + "\nbuild " +
         std::string(buildVersion) + "\n";
}

std::vector<std::string_view> optionNames() {
  std::vector<std::string_view> names;
  names.reserve(optionTable.size());
  for (const OptionSpec& entry : optionTable) names.push_back(entry.name);
  return names;
}

}  // namespace kapolex
