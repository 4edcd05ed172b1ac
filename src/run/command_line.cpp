#include "run/command_line.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>

#include "common/measurement.hpp"
#include "options/fixed_text.hpp"
#include "options/help_text.hpp"
#include "options/option_scanner.hpp"
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

using options::decimalText;
using options::joinText;

constexpr std::int32_t smallestInterval = 1;
constexpr std::int32_t largestInterval = 3600;

// "1 to 3600": the texts that state the interval's bounds are made from them.
constexpr auto intervalBounds =
    joinText(decimalText<smallestInterval>(), " to ", decimalText<largestInterval>());
constexpr auto intervalHint = joinText("give whole seconds from ", intervalBounds);

// A kind of value: how its text is read, and what a usage error says when
// it cannot be: "invalid NOUN 'TEXT' for 'OPTION': HINT".
template <typename T>
struct ValueKind {
  std::optional<T> (*read)(std::string_view text);
  std::string_view noun;
  std::string_view hint;
};

// --week's value that asks the clock for the week.
constexpr std::string_view weekFromClockValue = "auto";

constexpr ValueKind<std::int32_t> weekNumber{
    [](std::string_view text) {
      return wholeNumber(text, 1, std::numeric_limits<std::int32_t>::max());
    },
    "week", "give a whole number of at least 1"};
constexpr ValueKind<std::int32_t> surveyDate{gpsWeekOfDate, "date",
                                             "give YYYY-MM-DD, from 1980-01-06 on"};
constexpr ValueKind<std::int32_t> intervalSeconds{
    [](std::string_view text) { return wholeNumber(text, smallestInterval, largestInterval); },
    "interval", intervalHint.view()};
constexpr ValueKind<Coordinates> metres{threeNumbers, "value",
                                        "give three numbers in metres, separated by commas"};
constexpr ValueKind<const RinexDialect*> rinexVersionNumber{
    [](std::string_view text) -> std::optional<const RinexDialect*> {
      if (text == "2") return &rinex2Dialect;
      if (text == "3") return &rinex3Dialect;
      return std::nullopt;
    },
    "RINEX version", "give 2 or 3"};
constexpr ValueKind<std::int64_t> gpsTime{
    gpsSecondOfDateTime, "time",
    "give YYYY-MM-DDTHH:MM:SS in GPS time, whole seconds, from 1980-01-06 on"};
// The waits of a followed run: a second to a day.
constexpr std::int32_t longestWaitSeconds = 86400;
constexpr auto waitHint =
    joinText("give whole seconds from 1 to ", decimalText<longestWaitSeconds>());
constexpr ValueKind<std::int32_t> waitSeconds{
    [](std::string_view text) { return wholeNumber(text, 1, longestWaitSeconds); }, "seconds",
    waitHint.view()};
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
struct RunNumber {  // the waits of a followed run
  std::int32_t RunOptions::*member;
  const ValueKind<std::int32_t>* kind;
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
                            HeaderCoordinates, HeaderSwitch, RunSwitch, RunNumber, HeaderVersion,
                            WindowEdge, Split, StandardName, Station, Request>;

using options::longOnly;

// The fieldsets a form shows the options in.
constexpr std::string_view outputsGroup = "Outputs";
constexpr std::string_view firstEpochGroup = "Time of the first epoch";
constexpr std::string_view observationsGroup = "Observation file";
constexpr std::string_view windowGroup = "Time window";
constexpr std::string_view namingGroup = "File names";
constexpr std::string_view headerGroup = "Header";
constexpr std::string_view reportsGroup = "Quality check";
constexpr std::string_view programGroup = "Program";
constexpr std::string_view followGroup = "Following a log";

// The values of the options that take one of a few.
constexpr std::array<std::string_view, 2> rinexVersionChoices{"2", "3"};
constexpr std::array<std::string_view, 2> periodChoices{"day", "hour"};

// One option, as the scanner, the parser, --help and a form see it.
struct OptionSpec {
  std::string_view name;     // the long name, without its dashes
  char shortName;            // longOnly for none
  std::string_view metavar;  // what --help calls the value; empty for an option without one
  std::string_view help;     // wrapped by usageText()
  Effect effect;
  FormKind kind;
  std::string_view group;
  std::span<const std::string_view> choices = {};  // for FormKind::choice
};

// The help of --interval and of the header's texts, with the numbers of
// their constants.
constexpr auto intervalHelp =
    joinText("keep epochs whose rounded receive time is a multiple of S whole seconds, ",
             intervalBounds, " (default ", decimalText<defaultDecimationSeconds>(), ")");

// "MARKER NUMBER (20)": a header field's name and width.
template <const HeaderTextField& field, std::size_t size>
constexpr auto headerTextHelp(const char (&name)[size]) {
  return joinText(name, " (", decimalText<field.width>(), ")");
}
constexpr auto markerNameHelp =
    joinText("MARKER NAME (", decimalText<markerNameField.width>(), " characters at most)");
constexpr auto markerNumberHelp = headerTextHelp<markerNumberField>("MARKER NUMBER");
constexpr auto observerHelp = headerTextHelp<observerField>("OBSERVER");
constexpr auto agencyHelp = headerTextHelp<agencyField>("AGENCY");
constexpr auto runByHelp = headerTextHelp<runByField>("RUN BY");
constexpr auto receiverNumberHelp = headerTextHelp<receiverNumberField>("REC #");
constexpr auto antennaNumberHelp = headerTextHelp<antennaNumberField>("ANT #");
constexpr auto antennaTypeHelp = headerTextHelp<antennaTypeField>("ANT TYPE");

constexpr auto finishAfterHelp = joinText(
    "with --follow and --split, finish a period's file once no byte has come for SECONDS and "
    "the clock, as GPS time, is past the period's end by as much (default ",
    decimalText<defaultFinishAfterSeconds>(), ")");

// Every option, in the order --help lists them.
constexpr auto optionTable = std::to_array<OptionSpec>({
    {"output", 'o', "FILE",
     "the observation file (default: z.obs without LOG, else LOG with its extension replaced by "
     ".obs; standard output when LOG is '-'); '-' is standard output; with --split or "
     "--standard-name, the folder of the observation files (default: the log's folder)",
     OutputFile{&RunOptions::observationPath}, FormKind::text, outputsGroup},
    {"week", 'w', "N",
     "the GPS week of the log's first epoch (a whole number, at least 1); no prompt is shown; "
     "'auto': the week in which the log's first receive time lies closest to the computer's "
     "clock, for a live log or one downloaded in the last few days",
     Week{&weekNumber}, FormKind::number, firstEpochGroup},
    {"date", longOnly, "YYYY-MM-DD",
     "the calendar date of the log's first epoch; the week is the GPS week that holds it (from "
     "1980-01-06 on); excludes --week",
     Week{&surveyDate}, FormKind::date, firstEpochGroup},
    {"interval", longOnly, "S", intervalHelp.view(),
     HeaderNumber{&HeaderFields::intervalSeconds, &intervalSeconds}, FormKind::number,
     observationsGroup},
    {"rinex-version", longOnly, "2|3",
     "the RINEX version of the observation files: 2 for 2.10 (the default) or 3 for 3.04",
     HeaderVersion{}, FormKind::choice, observationsGroup, rinexVersionChoices},
    {"start", longOnly, "TIME",
     "write only the kept epochs at or after GPS time TIME, given as YYYY-MM-DDTHH:MM:SS (a blank "
     "may stand for the T); an epoch's time is its receive time rounded to the second",
     WindowEdge{&TimeWindow::start}, FormKind::time, windowGroup},
    {"end", longOnly, "TIME", "write only the kept epochs before GPS time TIME",
     WindowEdge{&TimeWindow::end}, FormKind::time, windowGroup},
    {"split", longOnly, "day|hour",
     "a new observation file at each GPS midnight or hour, each under its standard name", Split{},
     FormKind::choice, namingGroup, periodChoices},
    {"standard-name", longOnly, "",
     "give the observation file its standard name, from its first epoch and span", StandardName{},
     FormKind::onOff, namingGroup},
    {"station", longOnly, "ID",
     "the station in standard names: 4 letters or digits, or for RINEX 3 also 9 characters "
     "(SSSSMRCCC); default: the first 4 characters of --marker-name, or XXXX",
     Station{}, FormKind::text, namingGroup},
    {"marker-name", longOnly, "TEXT", markerNameHelp.view(),
     HeaderText{&HeaderFields::markerName, &markerNameField}, FormKind::text, headerGroup},
    {"marker-number", longOnly, "TEXT", markerNumberHelp.view(),
     HeaderText{&HeaderFields::markerNumber, &markerNumberField}, FormKind::text, headerGroup},
    {"observer", longOnly, "TEXT", observerHelp.view(),
     HeaderText{&HeaderFields::observer, &observerField}, FormKind::text, headerGroup},
    {"agency", longOnly, "TEXT", agencyHelp.view(), HeaderText{&HeaderFields::agency, &agencyField},
     FormKind::text, headerGroup},
    {"run-by", longOnly, "TEXT", runByHelp.view(), HeaderText{&HeaderFields::runBy, &runByField},
     FormKind::text, headerGroup},
    {"receiver-number", longOnly, "TEXT", receiverNumberHelp.view(),
     HeaderText{&HeaderFields::receiverNumber, &receiverNumberField}, FormKind::text, headerGroup},
    {"antenna-number", longOnly, "TEXT", antennaNumberHelp.view(),
     HeaderText{&HeaderFields::antennaNumber, &antennaNumberField}, FormKind::text, headerGroup},
    {"antenna-type", longOnly, "TEXT", antennaTypeHelp.view(),
     HeaderText{&HeaderFields::antennaType, &antennaTypeField}, FormKind::text, headerGroup},
    {"position", longOnly, "X,Y,Z", "APPROX POSITION XYZ in metres",
     HeaderCoordinates{&HeaderFields::position}, FormKind::text, headerGroup},
    {"antenna-delta", longOnly, "H,E,N", "ANTENNA: DELTA H/E/N in metres",
     HeaderCoordinates{&HeaderFields::antennaDelta}, FormKind::text, headerGroup},
    {"snr", longOnly, "", "add S1 (S1C in RINEX 3), the signal as C/N0 in dB-Hz",
     HeaderSwitch{&HeaderFields::withSnr}, FormKind::onOff, observationsGroup},
    {"crx", longOnly, "",
     "write the observation files in Compact RINEX (CRINEX 1.0 for RINEX 2, 3.0 for RINEX 3); "
     "the default name from LOG ends in .crx, standard names in .yyd or .crx",
     RunSwitch{&RunOptions::compactRinex}, FormKind::onOff, observationsGroup},
    {"gzip", 'z', "",
     "compress the observation files with gzip; the default name from LOG and standard names "
     "get .gz added (site.obs.gz, site.crx.gz)",
     RunSwitch{&RunOptions::gzip}, FormKind::onOff, observationsGroup},
    {"qc", longOnly, "FILE", "a quality report of the whole log, as text",
     OutputFile{&RunOptions::qualityTextPath}, FormKind::text, reportsGroup},
    {"qc-json", longOnly, "FILE", "the same figures as JSON",
     OutputFile{&RunOptions::qualityJsonPath}, FormKind::text, reportsGroup},
    {"plot", longOnly, "FILE", "a tracking plot of the whole log, as SVG",
     OutputFile{&RunOptions::trackingPlotPath}, FormKind::text, reportsGroup},
    {"qc-each", longOnly, "",
     "with --split, beside each observation file NAME a quality report NAME.qc of its part of the "
     "log only, written when the file is finished",
     RunSwitch{&RunOptions::qualityTextEach}, FormKind::onOff, reportsGroup},
    {"qc-json-each", longOnly, "", "the same as JSON, in NAME.qc.json",
     RunSwitch{&RunOptions::qualityJsonEach}, FormKind::onOff, reportsGroup},
    {"plot-each", longOnly, "", "the tracking plot of each file's part, in NAME.svg",
     RunSwitch{&RunOptions::trackingPlotEach}, FormKind::onOff, reportsGroup},
    {"no-obs", longOnly, "", "write no observation file", NoObservations{}, FormKind::onOff,
     observationsGroup},
    {"follow", longOnly, "",
     "after the end of LOG, wait for more as another program writes it, following a rotation "
     "or truncation; SIGINT, SIGTERM, SIGHUP (Ctrl-C, Ctrl-Break, console close on Windows) end "
     "the run as the end of a log does",
     RunSwitch{&RunOptions::follow}, FormKind::onOff, followGroup},
    {"idle-exit", longOnly, "SECONDS",
     "with --follow, end the run after SECONDS without a new byte of LOG",
     RunNumber{&RunOptions::idleExitSeconds, &waitSeconds}, FormKind::number, followGroup},
    {"finish-after", longOnly, "SECONDS", finishAfterHelp.view(),
     RunNumber{&RunOptions::finishAfterSeconds, &waitSeconds}, FormKind::number, followGroup},
    {"quiet", 'q', "", "print no summary", RunSwitch{&RunOptions::quiet}, FormKind::onOff,
     programGroup},
    {"help", 'h', "", "show this text and exit", Request{CommandLine::Action::help},
     FormKind::onOff, programGroup},
    {"version", longOnly, "", "show the version and exit", Request{CommandLine::Action::version},
     FormKind::onOff, programGroup},
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

// Whether --help names a choice's values as the form offers them: "2|3".
constexpr bool metavarListsChoices(const OptionSpec& entry) {
  std::string_view rest = entry.metavar;
  for (std::size_t i = 0; i < entry.choices.size(); ++i) {
    if (i > 0 && !rest.starts_with('|')) return false;
    if (i > 0) rest.remove_prefix(1);
    if (!rest.starts_with(entry.choices[i])) return false;
    rest.remove_prefix(entry.choices[i].size());
  }
  return rest.empty();
}

// A form asks for a value exactly where the option takes one, and offers a
// choice's values as --help names them.
static_assert(std::all_of(optionTable.begin(), optionTable.end(), [](const OptionSpec& entry) {
  return takesValue(entry) == (entry.kind != FormKind::onOff) &&
         (entry.kind == FormKind::choice) == !entry.choices.empty() &&
         (entry.kind != FormKind::choice || metavarListsChoices(entry));
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

// The table as the scanner reads it.
constexpr auto scannerTable = [] {
  std::array<options::OptionName, optionTable.size()> names{};
  std::transform(optionTable.begin(), optionTable.end(), names.begin(),
                 [](const OptionSpec& entry) {
                   return options::OptionName{entry.name, entry.shortName, takesValue(entry)};
                 });
  return names;
}();

template <typename T>
std::string invalidValue(const ValueKind<T>& kind, const std::string& name,
                         std::string_view value) {
  return "invalid " + std::string(kind.noun) + " '" + std::string(value) + "' for '" + name +
         "': " + std::string(kind.hint);
}

// "--week": an option as usage errors name it.
std::string dashed(std::string_view name) {
  return "--" + std::string(name);
}

class Parser {
 public:
  explicit Parser(std::span<const char* const> arguments) : arguments_(arguments) {}

  CommandLine parse() {
    // Options may follow the log, GNU fashion: operands are gathered on the
    // way and read once every option has been.
    options::OptionScanner scanner(scannerTable, arguments_);
    std::vector<std::string_view> operands;
    while (const std::optional<options::ScanItem> item = scanner.next()) {
      if (item->kind == options::ScanKind::operand) {
        operands.push_back(item->value);
      } else if (!handle(*item)) {
        return result_;
      }
    }
    if (result_.action != CommandLine::Action::run) return result_;
    readOperands(operands);
    return result_;
  }

 private:
  // Records the first usage error, with the long name of the option it
  // concerns ("--week"), or none.
  bool fail(std::string message, std::string_view option = {}) {
    if (result_.action != CommandLine::Action::usageError) {
      result_.action = CommandLine::Action::usageError;
      result_.error = std::move(message);
      result_.errorOption = std::string(option);
    }
    return false;
  }

  bool handle(const options::ScanItem& item) {
    using options::ScanKind;
    switch (item.kind) {
      case ScanKind::option:
        break;
      case ScanKind::unknownShort:
        return fail(std::string("unknown option '-") + item.letter + "'");
      case ScanKind::unknownLong:
      case ScanKind::ambiguousLong:
        return unknownLongOption(item);
      case ScanKind::unexpectedValue:
        return noValueTaken(optionTable[item.option]);
      case ScanKind::missingValue:
        // Named as given: "-qw" or "--we".
        return fail("option '" + std::string(item.argument) + "' requires a value",
                    dashed(optionTable[item.option].name));
      case ScanKind::operand:
        return true;
    }
    const OptionSpec& entry = optionTable[item.option];
    // Messages name an option by its long name, however it was written.
    const std::string name = dashed(entry.name);
    return std::visit([&](const auto& effect) { return apply(effect, name, item.value); },
                      entry.effect);
  }

  bool noValueTaken(const OptionSpec& entry) {
    const std::string name = dashed(entry.name);
    return fail("option '" + name + "' takes no value", name);
  }

  // A name given a value that begins an option without one is read as
  // that option given a value: "--s=yes" is '--standard-name', the first
  // such in the table.
  bool unknownLongOption(const options::ScanItem& item) {
    const std::string_view name = item.written.substr(2);
    if (item.valueGiven) {
      for (const OptionSpec& entry : optionTable) {
        if (!takesValue(entry) && entry.name.starts_with(name)) return noValueTaken(entry);
      }
    }
    return fail("unknown or ambiguous option '" + std::string(item.written) + "'");
  }

  HeaderFields& header() { return result_.options.header; }

  bool apply(const OutputFile& effect, const std::string& name, std::string_view value) {
    if (value.empty()) return fail("option '" + name + "' needs a file name", name);
    result_.options.*effect.path = std::string(value);
    return true;
  }

  bool apply(NoObservations /*effect*/, const std::string& /*name*/, std::string_view /*value*/) {
    noObservations_ = true;
    return true;
  }

  // --week auto names itself with its value, as it excludes the numeric
  // --week as it does --date.
  bool apply(const Week& effect, const std::string& name, std::string_view value) {
    const bool fromClock = effect.kind == &weekNumber && value == weekFromClockValue;
    const std::string given = fromClock ? name + " " + std::string(weekFromClockValue) : name;
    if (!weekOption_.empty() && weekOption_ != given) {
      return fail("options '" + weekOption_ + "' and '" + given + "' exclude each other", name);
    }
    weekOption_ = given;
    if (fromClock) {
      result_.options.weekFromClock = true;
      return true;
    }
    const std::optional<std::int32_t> week = effect.kind->read(value);
    if (!week) return fail(invalidValue(*effect.kind, name, value), name);
    result_.options.week = week;
    return true;
  }

  bool apply(const HeaderNumber& effect, const std::string& name, std::string_view value) {
    const std::optional<std::int32_t> number = effect.kind->read(value);
    if (!number) return fail(invalidValue(*effect.kind, name, value), name);
    header().*effect.member = *number;
    return true;
  }

  bool apply(const HeaderText& effect, const std::string& name, std::string_view value) {
    const std::size_t width = effect.field->width;
    if (value.size() > width) {
      return fail("'" + name + "' takes at most " + std::to_string(width) + " characters; '" +
                      std::string(value) + "' has " + std::to_string(value.size()),
                  name);
    }
    if (!fitsHeaderField(value, width)) {
      return fail("'" + name + "' takes printable ASCII characters only", name);
    }
    header().*effect.member = std::string(value);
    return true;
  }

  bool apply(const HeaderCoordinates& effect, const std::string& name, std::string_view value) {
    const std::optional<Coordinates> coordinates = metres.read(value);
    if (!coordinates) return fail(invalidValue(metres, name, value), name);
    if (!fitsHeaderCoordinates(*coordinates)) {
      return fail("value '" + std::string(value) + "' for '" + name +
                      "' does not fit the header's columns (F14.4)",
                  name);
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

  bool apply(const RunNumber& effect, const std::string& name, std::string_view value) {
    const std::optional<std::int32_t> number = effect.kind->read(value);
    if (!number) return fail(invalidValue(*effect.kind, name, value), name);
    result_.options.*effect.member = *number;
    followOptions_.emplace_back(name);
    return true;
  }

  bool apply(HeaderVersion /*effect*/, const std::string& name, std::string_view value) {
    const std::optional<const RinexDialect*> dialect = rinexVersionNumber.read(value);
    if (!dialect) return fail(invalidValue(rinexVersionNumber, name, value), name);
    header().dialect = *dialect;
    return true;
  }

  bool apply(const WindowEdge& effect, const std::string& name, std::string_view value) {
    const std::optional<std::int64_t> second = gpsTime.read(value);
    if (!second) return fail(invalidValue(gpsTime, name, value), name);
    result_.options.window.*effect.edge = second;
    return true;
  }

  bool apply(Split /*effect*/, const std::string& name, std::string_view value) {
    split_ = filePeriod.read(value);
    return split_ || fail(invalidValue(filePeriod, name, value), name);
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

  void readOperands(std::span<const std::string_view> rest) {
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
      fail("'--end' must be after '--start'", "--end");
      return;
    }
    if (!options.follow && !followOptions_.empty()) {
      fail("option '" + followOptions_.front() + "' needs '--follow'", followOptions_.front());
      return;
    }
    if (!observationFile(logGiven)) return;
    if (!reportsEachNeedSplit()) return;
    // Files of a dialect that requires it and files named by their epochs
    // close their header with the last epoch's time, where the output can be
    // rewritten.
    if (options.header.dialect->lastObservationRequired || options.naming) {
      options.header.withLastObservation = true;
    }
    if (const std::optional<OutputClash> clash = standardOutputClash(options)) {
      fail(clash->message, clash->option);
      return;
    }
    if (options.week || options.weekFromClock) return;
    if (options.logPath == standardStreamName) {
      fail("a log read from standard input needs '--week' or '--date'", "--week");
    } else if (writesStandardOutput(options)) {
      fail("an output on standard output needs '--week' or '--date'", "--week");
    }
  }

  // The reports beside each file need files split by period.
  bool reportsEachNeedSplit() {
    const RunOptions& options = result_.options;
    if (options.naming && options.naming->split) return true;
    const std::array<GivenOption, 3> each{{{"--qc-each", options.qualityTextEach},
                                           {"--qc-json-each", options.qualityJsonEach},
                                           {"--plot-each", options.trackingPlotEach}}};
    for (const GivenOption& option : each) {
      if (option.given) {
        return fail("option '" + std::string(option.name) + "' needs '--split'", option.name);
      }
    }
    return true;
  }

  // The option that asks for files named by their epochs, if any.
  std::string_view namingOption() const {
    if (split_) return "--split";
    if (standardName_) return "--standard-name";
    return "";
  }

  // The options about the observation files, each with whether it was
  // given, in the order a conflict names the first of them.
  struct GivenOption {
    std::string_view name;
    bool given;
  };
  std::array<GivenOption, 8> observationFileOptions() const {
    const RunOptions& options = result_.options;
    return {{{"--output", !options.observationPath.empty()},
             {"--crx", options.compactRinex},
             {"--gzip", options.gzip},
             {"--split", split_.has_value()},
             {"--standard-name", standardName_},
             {"--start", options.window.start.has_value()},
             {"--end", options.window.end.has_value()},
             {"--station", station_.has_value()}}};
  }

  // The observation file as --output gave it, or derived from the log; or
  // the standard naming of files named by their epochs.
  bool observationFile(bool logGiven) {
    RunOptions& options = result_.options;
    std::string& path = options.observationPath;
    const std::string_view naming = namingOption();
    if (noObservations_) {
      // Options about the observation files make no sense without them.
      for (const GivenOption& other : observationFileOptions()) {
        if (other.given) {
          return fail("options '--no-obs' and '" + std::string(other.name) + "' exclude each other",
                      other.name);
        }
      }
      return true;
    }
    if (!naming.empty()) return standardNaming(naming);
    if (station_) {
      return fail("option '--station' needs '--split' or '--standard-name'", "--station");
    }
    if (!path.empty()) return true;
    const bool encoded = options.compactRinex || options.gzip;
    if (!logGiven && !encoded) {
      path = std::string(observationFileName);
    } else if (options.logPath == standardStreamName) {
      path = std::string(standardStreamName);
    } else {
      path = observationPathFor(options.logPath, options.compactRinex, options.gzip);
    }
    return true;
  }

  // Files named by their epochs, in the folder --output names or the log's.
  bool standardNaming(std::string_view option) {
    RunOptions& options = result_.options;
    std::string& path = options.observationPath;
    if (path == standardStreamName) {
      return fail("options '" + std::string(option) + "' and '--output -' exclude each other",
                  "--output");
    }
    StandardNaming naming;
    naming.folder = path.empty() ? folderOf(options.logPath) : path;
    path.clear();
    const NamingDialect& names = header().dialect->names;
    if (station_ && !names.isStationId(*station_)) {
      return fail(
          "invalid station '" + *station_ + "' for '--station': " + std::string(names.stationHint),
          "--station");
    }
    naming.station = station_ ? *station_ : defaultStationId(header().markerName);
    naming.split = split_;
    naming.temporaryPath = temporaryPathFor(naming.folder, options.logPath);
    naming.partNames = options.follow && split_.has_value();
    naming.compactRinex = options.compactRinex;
    naming.gzip = options.gzip;
    options.naming = std::move(naming);
    return true;
  }

  std::span<const char* const> arguments_;
  CommandLine result_;
  bool noObservations_ = false;
  std::optional<FilePeriod> split_;
  bool standardName_ = false;
  std::optional<std::string> station_;
  // --week, --week auto or --date, whichever came first.
  std::string weekOption_;
  std::vector<std::string> followOptions_;  // the options that need --follow, as given
};

constexpr auto usageHead =
    joinText(R"(Usage: kapolex [OPTIONS] [LOG]
Converts the raw-measurement log of an L1 GPS receiver into a RINEX 2.10 (or
3.04) observation file: L1 carrier phase and C1 pseudorange, one epoch every
)",
             decimalText<defaultDecimationSeconds>(),
             R"( seconds of receive time. Without arguments it reads z.log in the working
directory, writes z.obs beside it and asks for the GPS week at the console.

LOG is the log to read (default z.log); '-' reads it from standard input.

)");

constexpr std::string_view endOfOptionsHelp = "end the options";

constexpr std::string_view usageFoot = R"(
Texts must be printable ASCII; a value that does not fit its header field is
refused. FILE '-' is standard output, for one output at most; the summary
then goes to standard error. Usage errors exit with status 2.
)";

// The value a run takes without the option, as the option would give it,
// where one value is that: the header's default interval, and the RINEX
// version that stands when none is asked for.
std::string defaultValueOf(const OptionSpec& entry) {
  const HeaderFields defaults;
  if (const auto* number = std::get_if<HeaderNumber>(&entry.effect)) {
    return std::to_string(defaults.*number->member);
  }
  if (std::holds_alternative<HeaderVersion>(entry.effect)) {
    for (const std::string_view choice : entry.choices) {
      if (rinexVersionNumber.read(choice) == defaults.dialect) return std::string(choice);
    }
  }
  return "";
}

}  // namespace

CommandLine parseCommandLine(std::span<const char* const> arguments) {
  return Parser(arguments).parse();
}

std::string usageText() {
  std::vector<options::HelpEntry> entries;
  entries.reserve(optionTable.size() + 1);
  for (const OptionSpec& entry : optionTable) {
    entries.push_back(
        {options::optionColumn(entry.shortName, entry.name, entry.metavar), entry.help});
  }
  // "--" has no name: its column is the option column of an empty one.
  entries.push_back({options::optionColumn(longOnly, "", ""), endOfOptionsHelp});
  return std::string(usageHead.view()) + options::helpEntries(entries) + std::string(usageFoot);
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

std::vector<OptionDescription> describeOptions() {
  std::vector<OptionDescription> descriptions;
  descriptions.reserve(optionTable.size());
  for (const OptionSpec& entry : optionTable) {
    descriptions.push_back({entry.name, entry.shortName, entry.metavar, entry.help, entry.kind,
                            entry.choices, defaultValueOf(entry), entry.group});
  }
  return descriptions;
}

}  // namespace kapolex
