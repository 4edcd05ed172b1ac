#include "physical/rinex_observation_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace kapolex::physical {
namespace {

constexpr std::size_t maxLineLength = 80;
constexpr std::size_t labelColumn = 61;
constexpr std::size_t satellitesPerEpochLine = 12;
constexpr std::size_t typesPerHeaderLine = 9;
constexpr std::size_t observationsPerLine = 5;
constexpr std::size_t observationWidth = 16;
constexpr std::size_t maxProblems = 30;

constexpr std::size_t rinex3EpochRecordLength = 56;
constexpr std::size_t typesPerSystemLine = 13;
constexpr std::size_t satellitesPerPhaseShiftLine = 10;

constexpr std::array<std::string_view, 20> knownLabels = {"RINEX VERSION / TYPE",
                                                          "PGM / RUN BY / DATE",
                                                          "COMMENT",
                                                          "MARKER NAME",
                                                          "MARKER NUMBER",
                                                          "OBSERVER / AGENCY",
                                                          "REC # / TYPE / VERS",
                                                          "ANT # / TYPE",
                                                          "APPROX POSITION XYZ",
                                                          "ANTENNA: DELTA H/E/N",
                                                          "WAVELENGTH FACT L1/2",
                                                          "# / TYPES OF OBSERV",
                                                          "INTERVAL",
                                                          "TIME OF FIRST OBS",
                                                          "TIME OF LAST OBS",
                                                          "RCV CLOCK OFFS APPL",
                                                          "LEAP SECONDS",
                                                          "# OF SATELLITES",
                                                          "PRN / # OF OBS",
                                                          "END OF HEADER"};

constexpr std::array<std::string_view, 12> mandatoryLabels = {
    "RINEX VERSION / TYPE", "PGM / RUN BY / DATE", "MARKER NAME",         "OBSERVER / AGENCY",
    "REC # / TYPE / VERS",  "ANT # / TYPE",        "APPROX POSITION XYZ", "ANTENNA: DELTA H/E/N",
    "WAVELENGTH FACT L1/2", "# / TYPES OF OBSERV", "TIME OF FIRST OBS",   "END OF HEADER"};

constexpr std::array<std::string_view, 33> knownRinex3Labels = {"RINEX VERSION / TYPE",
                                                                "PGM / RUN BY / DATE",
                                                                "COMMENT",
                                                                "MARKER NAME",
                                                                "MARKER NUMBER",
                                                                "MARKER TYPE",
                                                                "OBSERVER / AGENCY",
                                                                "REC # / TYPE / VERS",
                                                                "ANT # / TYPE",
                                                                "APPROX POSITION XYZ",
                                                                "ANTENNA: DELTA H/E/N",
                                                                "ANTENNA: DELTA X/Y/Z",
                                                                "ANTENNA: PHASECENTER",
                                                                "ANTENNA: B.SIGHT XYZ",
                                                                "ANTENNA: ZERODIR AZI",
                                                                "ANTENNA: ZERODIR XYZ",
                                                                "CENTER OF MASS: XYZ",
                                                                "SYS / # / OBS TYPES",
                                                                "SIGNAL STRENGTH UNIT",
                                                                "INTERVAL",
                                                                "TIME OF FIRST OBS",
                                                                "TIME OF LAST OBS",
                                                                "RCV CLOCK OFFS APPL",
                                                                "SYS / DCBS APPLIED",
                                                                "SYS / PCVS APPLIED",
                                                                "SYS / SCALE FACTOR",
                                                                "SYS / PHASE SHIFT",
                                                                "GLONASS SLOT / FRQ #",
                                                                "GLONASS COD/PHS/BIS",
                                                                "LEAP SECONDS",
                                                                "# OF SATELLITES",
                                                                "PRN / # OF OBS",
                                                                "END OF HEADER"};

// APPROX POSITION XYZ is left to moving markers (a MARKER TYPE other than
// GEODETIC and NON_GEODETIC), and the GLONASS records to files with GLONASS.
constexpr std::array<std::string_view, 11> mandatoryRinex3Labels = {
    "RINEX VERSION / TYPE", "PGM / RUN BY / DATE", "MARKER NAME",          "OBSERVER / AGENCY",
    "REC # / TYPE / VERS",  "ANT # / TYPE",        "ANTENNA: DELTA H/E/N", "SYS / # / OBS TYPES",
    "TIME OF FIRST OBS",    "SYS / PHASE SHIFT",   "END OF HEADER"};

// The satellite systems of RINEX 3: GPS, GLONASS, Galileo, QZSS, BDS, NavIC
// and SBAS.
constexpr std::string_view rinex3Systems = "GRECJIS";

struct Line {
  std::size_t number = 0;
  std::string_view text;
};

// Where SYS / # / OBS TYPES stands: the system whose types are being listed.
struct SystemTypes {
  char system = ' ';
  std::size_t announced = 0;
  std::size_t listed = 0;
};

// A field read by its Fortran descriptor: blank, a value, or neither.
template <class T>
struct Field {
  bool blank = false;
  std::optional<T> value;
  bool valid() const { return blank || value.has_value(); }
};

bool isBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char ch) { return ch == ' '; });
}

// Columns first .. first + width - 1 (from 1); columns past the line's end
// are blanks, as a Fortran read sees them.
std::string columns(std::string_view line, std::size_t first, std::size_t width) {
  std::string out(width, ' ');
  if (first - 1 < line.size()) {
    const std::string_view part = line.substr(first - 1, width);
    std::copy(part.begin(), part.end(), out.begin());
  }
  return out;
}

std::string_view trimmedRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool allDigits(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// Iw as a writer produces it: right-aligned, optional minus, digits.
Field<int> integerField(std::string_view line, std::size_t first, std::size_t width) {
  const std::string text = columns(line, first, width);
  Field<int> f;
  if (isBlank(text)) {
    f.blank = true;
    return f;
  }
  std::string_view s = text;
  s.remove_prefix(s.find_first_not_of(' '));
  const std::string_view digits = s.starts_with('-') ? s.substr(1) : s;
  if (!allDigits(digits)) return f;
  int v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc() && end == s.data() + s.size()) f.value = v;
  return f;
}

// Iw.w (zero-filled to the whole width), as I2.2 fields are written: digits
// only.
std::optional<int> zeroFilledField(std::string_view line, std::size_t first, std::size_t width) {
  const std::string text = columns(line, first, width);
  if (!allDigits(text)) return std::nullopt;
  return std::stoi(text);
}

bool isUpperLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

// A RINEX 3 observation code: type (C, L, D, S or X), band digit, attribute.
bool isObservationCode(std::string_view code) {
  return code.size() == 3 && std::string_view("CLDSX").find(code[0]) != std::string_view::npos &&
         code[1] >= '1' && code[1] <= '9' && isUpperLetter(code[2]);
}

// Fw.d as a writer produces it: right-aligned, optional minus, digits, a point
// and exactly d decimals.
Field<double> fixedField(std::string_view line, std::size_t first, std::size_t width,
                         std::size_t decimals) {
  const std::string text = columns(line, first, width);
  Field<double> f;
  if (isBlank(text)) {
    f.blank = true;
    return f;
  }
  std::string_view s = text;
  s.remove_prefix(s.find_first_not_of(' '));
  std::string_view body = s.starts_with('-') ? s.substr(1) : s;
  const std::size_t point = body.find('.');
  if (point == std::string_view::npos) return f;
  const std::string_view whole = body.substr(0, point);
  const std::string_view fraction = body.substr(point + 1);
  if (fraction.size() != decimals || !allDigits(fraction)) return f;
  if (!whole.empty() && !allDigits(whole)) return f;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc() && end == s.data() + s.size()) f.value = v;
  return f;
}

class Reader {
 public:
  Reader(std::string_view text, const ReaderRules& rules) : text_(text), rules_(rules) {}

  ReadResult run() {
    splitLines();
    if (lines_.empty()) {
      problem(0, "empty file");
      return std::move(result_);
    }
    if (readHeader()) readData();
    return std::move(result_);
  }

 private:
  void problem(std::size_t line, const std::string& what) {
    if (result_.problems.size() < maxProblems) {
      result_.problems.push_back((line == 0 ? "header" : "line " + std::to_string(line)) + ": " +
                                 what);
    }
  }

  void splitLines() {
    std::size_t start = 0;
    std::size_t number = 0;
    while (start < text_.size()) {
      ++number;
      const std::size_t lf = text_.find('\n', start);
      std::string_view line =
          text_.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start);
      if (lf == std::string_view::npos) {
        problem(number, "the last line has no line end");
      }
      if (line.ends_with('\r')) {
        line.remove_suffix(1);
      } else if (rules_.crLfLineEnds && lf != std::string_view::npos) {
        problem(number, "line ends with LF, not CR LF");
      }
      if (!std::all_of(line.begin(), line.end(), [](char ch) { return ch >= ' ' && ch <= '~'; })) {
        problem(number, "holds a character that is not printable ASCII");
      }
      lines_.push_back({number, line});
      start = lf == std::string_view::npos ? text_.size() : lf + 1;
    }
  }

  // Checks the 60 + 20 split of a header line; returns its label or nothing.
  std::optional<std::string_view> headerLabel(const Line& line) {
    if (line.text.size() > maxLineLength) problem(line.number, "longer than 80 columns");
    if (line.text.size() < labelColumn || isBlank(line.text.substr(labelColumn - 1))) {
      problem(line.number, "header line without a label in columns 61-80");
      return std::nullopt;
    }
    const std::string_view label = trimmedRight(line.text.substr(labelColumn - 1));
    const bool known =
        rinex3() ? std::find(knownRinex3Labels.begin(), knownRinex3Labels.end(), label) !=
                       knownRinex3Labels.end()
                 : std::find(knownLabels.begin(), knownLabels.end(), label) != knownLabels.end();
    if (!known) {
      problem(line.number, "unknown header label \"" + std::string(label) + "\"");
      return std::nullopt;
    }
    return label;
  }

  bool rinex3() const { return result_.file.header.majorVersion == 3; }

  bool readHeader() {
    ObservationHeader& h = result_.file.header;
    std::size_t typesAnnounced = 0;
    bool typesSeen = false;
    SystemTypes systemTypes;
    bool ended = false;
    while (next_ < lines_.size() && !ended) {
      const Line& line = lines_[next_++];
      const auto label = headerLabel(line);
      if (!label) {
        if (next_ == 1) problem(line.number, "the first line must be RINEX VERSION / TYPE");
        continue;
      }
      h.labels.emplace_back(*label);
      if (next_ == 1 && *label != "RINEX VERSION / TYPE") {
        problem(line.number, "the first line must be RINEX VERSION / TYPE");
      }
      if (*label == "RINEX VERSION / TYPE") {
        versionRecord(line);
      } else if (*label == "PGM / RUN BY / DATE") {
        if (rinex3()) runDateRecord(line);
      } else if (*label == "MARKER TYPE") {
        h.markerType = trimmedRight(columns(line.text, 1, 20));
      } else if (*label == "# / TYPES OF OBSERV") {
        typesRecord(line, typesSeen, typesAnnounced);
        typesSeen = true;
      } else if (*label == "SYS / # / OBS TYPES") {
        systemTypesRecord(line, systemTypes);
      } else if (*label == "SIGNAL STRENGTH UNIT") {
        h.signalStrengthUnit = trimmedRight(columns(line.text, 1, 20));
        if (!isBlank(columns(line.text, 21, 40))) {
          problem(line.number, "SIGNAL STRENGTH UNIT: text after the unit's 20 columns");
        }
      } else if (*label == "INTERVAL") {
        if (rinex3() &&
            (!fixedField(line.text, 1, 10, 3).value || !isBlank(columns(line.text, 11, 50)))) {
          problem(line.number, "INTERVAL: not F10.3 alone");
        }
      } else if (*label == "SYS / PHASE SHIFT") {
        phaseShiftRecord(line);
      } else if (*label == "APPROX POSITION XYZ" || *label == "ANTENNA: DELTA H/E/N") {
        for (std::size_t k = 0; k < 3; ++k) {
          const Field<double> f = fixedField(line.text, 1 + 14 * k, 14, 4);
          if (!f.value)
            problem(line.number,
                    std::string(*label) + ": value " + std::to_string(k + 1) + " is not F14.4");
        }
      } else if (*label == "WAVELENGTH FACT L1/2") {
        const Field<int> l1 = integerField(line.text, 1, 6);
        const Field<int> l2 = integerField(line.text, 7, 6);
        if (!l1.value || *l1.value < 1 || *l1.value > 2 || !l2.value || *l2.value < 0 ||
            *l2.value > 2) {
          problem(line.number, "WAVELENGTH FACT L1/2: factors are not 1 or 2 and 0 to 2");
        }
      } else if (*label == "TIME OF FIRST OBS") {
        h.firstObservation = observationTimeRecord(line, *label);
      } else if (*label == "TIME OF LAST OBS") {
        h.lastObservation = observationTimeRecord(line, *label);
      } else if (*label == "END OF HEADER") {
        ended = true;
      }
    }
    if (!ended) {
      problem(lines_.back().number, "no END OF HEADER");
    }
    if (rinex3()) return endRinex3Header(systemTypes) && ended;
    for (std::string_view mandatory : mandatoryLabels) requireLabel(mandatory);
    if (typesSeen && typesAnnounced != h.observationTypes.size()) {
      problem(0, "# / TYPES OF OBSERV announces " + std::to_string(typesAnnounced) +
                     " types but lists " + std::to_string(h.observationTypes.size()));
    }
    return ended && !h.observationTypes.empty();
  }

  void requireLabel(std::string_view label) {
    const std::vector<std::string>& labels = result_.file.header.labels;
    if (std::find(labels.begin(), labels.end(), label) == labels.end()) {
      problem(0, "mandatory header record " + std::string(label) + " is missing");
    }
  }

  // The records a RINEX 3 file must carry, and each system's types complete.
  bool endRinex3Header(const SystemTypes& systemTypes) {
    ObservationHeader& h = result_.file.header;
    for (std::string_view mandatory : mandatoryRinex3Labels) requireLabel(mandatory);
    const bool moving =
        h.markerType && *h.markerType != "GEODETIC" && *h.markerType != "NON_GEODETIC";
    if (!moving) requireLabel("APPROX POSITION XYZ");
    if (h.systemObservationTypes.contains('R')) {
      requireLabel("GLONASS SLOT / FRQ #");
      requireLabel("GLONASS COD/PHS/BIS");
    }
    if (systemTypes.listed != systemTypes.announced) {
      problem(0, "SYS / # / OBS TYPES announces " + std::to_string(systemTypes.announced) +
                     " types of " + std::string(1, systemTypes.system) + " but lists " +
                     std::to_string(systemTypes.listed));
    }
    for (const auto& [system, types] : h.systemObservationTypes) {
      if (h.system != 'M' && system != h.system) {
        problem(0, "SYS / # / OBS TYPES of " + std::string(1, system) + " in a file of system " +
                       std::string(1, h.system));
      }
    }
    const auto own = h.systemObservationTypes.find(h.system);
    if (own != h.systemObservationTypes.end()) h.observationTypes = own->second;
    return !h.systemObservationTypes.empty();
  }

  void versionRecord(const Line& line) {
    ObservationHeader& h = result_.file.header;
    const Field<double> version = fixedField(line.text, 1, 9, 2);
    h.version = std::string(trimmedRight(columns(line.text, 1, 9)));
    h.version.erase(0, h.version.find_first_not_of(' '));
    if (!version.value || *version.value < 2.0 || *version.value >= 4.0) {
      problem(line.number, "RINEX VERSION / TYPE: version is not 2.xx or 3.xx in F9.2");
    }
    h.majorVersion = version.value && *version.value >= 3.0 ? 3 : 2;
    h.fileType = columns(line.text, 21, 1)[0];
    h.system = columns(line.text, 41, 1)[0];
    if (h.fileType != 'O') problem(line.number, "RINEX VERSION / TYPE: file type is not O");
    const std::string_view systems = rinex3() ? "GRECJISM" : " GRSETM";
    if (systems.find(h.system) == std::string_view::npos) {
      problem(line.number, "RINEX VERSION / TYPE: unknown satellite system");
    }
  }

  // RINEX 3's date field: "yyyymmdd hhmmss zone", the zone 3 or 4 letters.
  void runDateRecord(const Line& line) {
    const std::string date = columns(line.text, 41, 20);
    const std::string zone(trimmedRight(std::string_view(date).substr(16)));
    const bool zoneOk = (zone.size() == 3 || zone.size() == 4) &&
                        std::all_of(zone.begin(), zone.end(), isUpperLetter);
    if (!allDigits(date.substr(0, 8)) || date[8] != ' ' || !allDigits(date.substr(9, 6)) ||
        date[15] != ' ' || !zoneOk) {
      problem(line.number, "PGM / RUN BY / DATE: date is not \"yyyymmdd hhmmss zone\"");
    }
  }

  // A1,2X,I3,13(1X,A3): a system and its count, or a continuation line with
  // blanks in their place.
  void systemTypesRecord(const Line& line, SystemTypes& state) {
    ObservationHeader& h = result_.file.header;
    const char system = columns(line.text, 1, 1)[0];
    if (system != ' ') {
      if (state.listed != state.announced) {
        problem(line.number, "SYS / # / OBS TYPES: a new system before the types of " +
                                 std::string(1, state.system) + " are all listed");
      }
      const Field<int> count = integerField(line.text, 4, 3);
      if (rinex3Systems.find(system) == std::string_view::npos ||
          !isBlank(columns(line.text, 2, 2)) || !count.value || *count.value < 1) {
        problem(line.number, "SYS / # / OBS TYPES: not a system and its count (A1,2X,I3)");
        state = {};
        return;
      }
      if (h.systemObservationTypes.contains(system)) {
        problem(line.number,
                "SYS / # / OBS TYPES: system " + std::string(1, system) + " given twice");
      }
      state = {system, static_cast<std::size_t>(*count.value), 0};
      h.systemObservationTypes[system].clear();
    } else if (!isBlank(columns(line.text, 1, 6)) || state.listed == state.announced) {
      problem(line.number, "SYS / # / OBS TYPES: continuation without types left to list");
      return;
    }
    std::vector<std::string>& types = h.systemObservationTypes[state.system];
    std::size_t k = 0;
    for (; k < typesPerSystemLine && state.listed < state.announced; ++k) {
      const std::string entry = columns(line.text, 7 + 4 * k, 4);
      if (entry[0] != ' ' || !isObservationCode(std::string_view(entry).substr(1))) {
        problem(line.number, "SYS / # / OBS TYPES: entry " + std::to_string(k + 1) +
                                 " is not 1X,A3 with a code such as C1C");
        return;
      }
      types.push_back(entry.substr(1));
      ++state.listed;
    }
    const std::size_t end = 7 + 4 * k;
    if (!isBlank(columns(line.text, end, labelColumn - end))) {
      problem(line.number, "SYS / # / OBS TYPES: text after the types announced");
    }
  }

  // A1,1X,A3,1X,F8.5,2X,I2.2,10(1X,A3): a system's phase code, its
  // correction (blank when unknown) and the satellites it applies to (none
  // listed: all). A continuation line holds further satellites only.
  void phaseShiftRecord(const Line& line) {
    const ObservationHeader& h = result_.file.header;
    const char system = columns(line.text, 1, 1)[0];
    if (system != ' ') {
      const std::string code = columns(line.text, 3, 3);
      const auto types = h.systemObservationTypes.find(system);
      const bool listed =
          types != h.systemObservationTypes.end() &&
          std::find(types->second.begin(), types->second.end(), code) != types->second.end();
      const Field<int> count = integerField(line.text, 17, 2);
      if (columns(line.text, 2, 1) != " " || columns(line.text, 6, 1) != " " || code[0] != 'L' ||
          !listed || !fixedField(line.text, 7, 8, 5).valid() ||
          !isBlank(columns(line.text, 15, 2)) || !count.valid()) {
        problem(line.number,
                "SYS / PHASE SHIFT: not a listed phase code of its system, F8.5 and I2.2");
        return;
      }
    } else if (!isBlank(columns(line.text, 1, 18))) {
      problem(line.number, "SYS / PHASE SHIFT: continuation line with text before column 19");
      return;
    }
    for (std::size_t k = 0; k < satellitesPerPhaseShiftLine; ++k) {
      const std::size_t column = 19 + 4 * k;
      const std::string entry = columns(line.text, column, 4);
      if (isBlank(entry)) {
        if (!isBlank(columns(line.text, column, labelColumn - column))) {
          problem(line.number, "SYS / PHASE SHIFT: a gap in the satellite list");
        }
        return;
      }
      if (entry[0] != ' ' || rinex3Systems.find(entry[1]) == std::string_view::npos ||
          !allDigits(std::string_view(entry).substr(2))) {
        problem(line.number,
                "SYS / PHASE SHIFT: satellite " + std::to_string(k + 1) + " is not 1X,A1,I2.2");
        return;
      }
    }
  }

  void typesRecord(const Line& line, bool continuation, std::size_t& announced) {
    ObservationHeader& h = result_.file.header;
    const Field<int> count = integerField(line.text, 1, 6);
    if (!continuation) {
      if (!count.value || *count.value < 1) {
        problem(line.number, "# / TYPES OF OBSERV: no count in columns 1-6");
        return;
      }
      announced = static_cast<std::size_t>(*count.value);
    } else if (!count.blank) {
      problem(line.number, "# / TYPES OF OBSERV given twice");
      return;
    }
    for (std::size_t k = 0; k < typesPerHeaderLine && h.observationTypes.size() < announced; ++k) {
      const std::string gap = columns(line.text, 7 + 6 * k, 4);
      const std::string type = columns(line.text, 11 + 6 * k, 2);
      const bool letterDigit = type[0] >= 'A' && type[0] <= 'Z' && type[1] >= '1' && type[1] <= '8';
      if (!isBlank(gap) || !letterDigit) {
        problem(line.number, "# / TYPES OF OBSERV: entry " + std::to_string(k + 1) +
                                 " is not 4X,A2 with a type such as L1");
        return;
      }
      h.observationTypes.push_back(type);
    }
  }

  // TIME OF FIRST OBS or TIME OF LAST OBS: 5I6,F13.7,5X,A3.
  std::optional<CalendarTime> observationTimeRecord(const Line& line, std::string_view label) {
    const std::string name(label);
    std::array<int, 5> parts{};
    for (std::size_t k = 0; k < 5; ++k) {
      const Field<int> f = integerField(line.text, 1 + 6 * k, 6);
      if (!f.value) {
        problem(line.number, name + ": field " + std::to_string(k + 1) + " is not I6");
        return std::nullopt;
      }
      parts[k] = *f.value;
    }
    const Field<double> second = fixedField(line.text, 31, 13, 7);
    if (!second.value) {
      problem(line.number, name + ": second is not F13.7");
      return std::nullopt;
    }
    CalendarTime t{parts[0], parts[1], parts[2], parts[3], parts[4], *second.value};
    if (t.year < 1980 || !validTime(t)) {
      problem(line.number, name + ": not a date and time of day");
      return std::nullopt;
    }
    const std::string system(trimmedRight(columns(line.text, 49, 3)));
    if (label == "TIME OF FIRST OBS") {
      result_.file.header.timeSystem = system.empty() ? "GPS" : system;
    }
    if (!isBlank(columns(line.text, 44, 5)) || !isBlank(columns(line.text, 52, 9))) {
      problem(line.number, name + ": text outside the time system field");
    }
    return t;
  }

  static bool validTime(const CalendarTime& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 &&
           t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0.0 && t.second < 61.0;
  }

  void readData() {
    if (!rinex3()) {
      for (std::size_t k = next_; k < lines_.size(); ++k) {
        if (lines_[k].text.size() > maxLineLength) {
          problem(lines_[k].number, "longer than 80 columns");
        }
      }
    }
    while (next_ < lines_.size()) {
      if (!(rinex3() ? readRinex3Epoch() : readEpoch())) return;
    }
    const auto& epochs = result_.file.epochs;
    const ObservationHeader& h = result_.file.header;
    if (epochs.empty()) return;
    if (h.firstObservation && !sameTime(epochs.front().time, *h.firstObservation)) {
      problem(epochs.front().line, "TIME OF FIRST OBS differs from the first epoch");
    }
    if (h.lastObservation && !sameTime(epochs.back().time, *h.lastObservation)) {
      problem(epochs.back().line, "TIME OF LAST OBS differs from the last epoch");
    }
  }

  static bool sameTime(const CalendarTime& a, const CalendarTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && std::fabs(a.second - b.second) <= 5e-8;
  }

  // A RINEX 3 epoch record, A1,1X,I4,4(1X,I2.2),F11.7,2X,I1,I3,6X,F15.12
  // with the receiver clock offset optional, and one observation record
  // per satellite; false when the structure is lost and reading must stop.
  bool readRinex3Epoch() {
    const Line& line = lines_[next_++];
    const std::string_view t = line.text;
    ObservationEpoch epoch;
    epoch.line = line.number;
    std::array<int, 5> parts{};
    const Field<int> year = integerField(t, 3, 4);
    bool ok = t.starts_with("> ") && year.value;
    if (ok) parts[0] = *year.value;
    for (std::size_t k = 0; k < 4 && ok; ++k) {
      const std::optional<int> part = zeroFilledField(t, 8 + 3 * k, 2);
      ok = columns(t, 7 + 3 * k, 1) == " " && part;
      if (ok) parts[k + 1] = *part;
    }
    const Field<double> second = fixedField(t, 19, 11, 7);
    const Field<int> flag = integerField(t, 32, 1);
    const Field<int> count = integerField(t, 33, 3);
    ok = ok && second.value && columns(t, 30, 2) == "  " && flag.value && count.value &&
         *count.value >= 0 && isBlank(columns(t, 36, 6));
    if (!ok) {
      problem(line.number, "not an epoch record (A1,1X,I4,4(1X,I2.2),F11.7,2X,I1,I3)");
      return false;
    }
    if (!fixedField(t, 42, 15, 12).valid()) {
      problem(line.number, "receiver clock offset in columns 42-56 is not F15.12");
    }
    if (t.size() > rinex3EpochRecordLength) {
      problem(line.number, "epoch record longer than 56 columns");
    }
    epoch.time = {parts[0], parts[1], parts[2], parts[3], parts[4], *second.value};
    epoch.flag = *flag.value;
    if (epoch.time.year < 1980 || !validTime(epoch.time)) {
      problem(line.number, "epoch is not a date and time of day");
    }
    if (epoch.flag > 6) {
      problem(line.number, "epoch flag above 6");
      return false;
    }
    const auto n = static_cast<std::size_t>(*count.value);
    if (epoch.flag >= 2 && epoch.flag <= 5) return skipEventRecords(line, n);
    for (std::size_t s = 0; s < n; ++s) {
      if (!readRinex3Observations(epoch, n)) return false;
    }
    result_.file.epochs.push_back(std::move(epoch));
    return true;
  }

  // One satellite's record: A1,I2.2, then the fields of its system's types.
  bool readRinex3Observations(ObservationEpoch& epoch, std::size_t n) {
    if (next_ >= lines_.size()) {
      problem(epoch.line, "the file ends inside the observations of the epoch's " +
                              std::to_string(n) + " satellites");
      return false;
    }
    const Line& line = lines_[next_++];
    const char system = columns(line.text, 1, 1)[0];
    const std::optional<int> prn = zeroFilledField(line.text, 2, 2);
    const auto& systems = result_.file.header.systemObservationTypes;
    const auto types = systems.find(system);
    if (!prn || *prn < 1 || types == systems.end()) {
      problem(line.number, "observation record " + std::to_string(epoch.satellites.size() + 1) +
                               " of " + std::to_string(n) +
                               " does not start with a satellite of a listed system (A1,I2.2)");
      return false;
    }
    const std::string satellite(line.text.substr(0, 3));
    const std::size_t end = 4 + observationWidth * types->second.size();
    if (line.text.size() >= end && !isBlank(line.text.substr(end - 1))) {
      problem(line.number, "observation record of " + satellite + " is longer than its " +
                               std::to_string(types->second.size()) + " fields");
    }
    std::vector<Observation> row;
    for (std::size_t k = 0; k < types->second.size(); ++k) {
      row.push_back(observationField(line, 4 + observationWidth * k, k, satellite));
    }
    epoch.satellites.push_back(satellite);
    epoch.observations.push_back(std::move(row));
    return true;
  }

  // Reads one epoch with its continuation and observation lines; false when
  // the structure is lost and reading must stop.
  bool readEpoch() {
    const Line& line = lines_[next_++];
    const std::string_view t = line.text;
    ObservationEpoch epoch;
    epoch.line = line.number;
    if (t.size() < 32) {
      problem(line.number, "epoch record shorter than 32 columns");
      return false;
    }
    // 1X,I2,4(1X,I2),F11.7,2X,I1,I3
    std::array<int, 5> parts{};
    bool ok = t[0] == ' ';
    for (std::size_t k = 0; k < 5 && ok; ++k) {
      ok = columns(t, 1 + 3 * k, 1) == " ";
      const Field<int> f = integerField(t, 2 + 3 * k, 2);
      ok = ok && f.value && *f.value >= 0;
      if (ok) parts[k] = *f.value;
    }
    const Field<double> second = fixedField(t, 16, 11, 7);
    const Field<int> flag = integerField(t, 29, 1);
    const Field<int> count = integerField(t, 30, 3);
    ok = ok && second.value && columns(t, 27, 2) == "  " && flag.value && count.value &&
         *count.value >= 0;
    if (!ok) {
      problem(line.number, "not an epoch record (1X,I2,4(1X,I2),F11.7,2X,I1,I3)");
      return false;
    }
    epoch.time = {fullYear(parts[0]), parts[1], parts[2], parts[3], parts[4], *second.value};
    epoch.flag = *flag.value;
    if (!validTime(epoch.time)) problem(line.number, "epoch is not a date and time of day");
    if (epoch.flag > 6) {
      problem(line.number, "epoch flag above 6");
      return false;
    }
    const auto n = static_cast<std::size_t>(*count.value);
    if (epoch.flag >= 2 && epoch.flag <= 5) return skipEventRecords(line, n);
    if (!readSatelliteList(line, n, epoch)) return false;
    if (!readObservations(epoch)) return false;
    result_.file.epochs.push_back(std::move(epoch));
    return true;
  }

  // Flags 2 to 5 announce n header-style records instead of satellites.
  bool skipEventRecords(const Line& line, std::size_t n) {
    if (!rinex3() && !isBlank(columns(line.text, 33, 48))) {
      problem(line.number, "event record with a satellite list");
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (next_ >= lines_.size()) {
        problem(line.number, "the file ends inside the records of an event");
        return false;
      }
      headerLabel(lines_[next_++]);
    }
    return true;
  }

  bool readSatelliteList(const Line& first, std::size_t n, ObservationEpoch& epoch) {
    const Line* line = &first;
    for (std::size_t s = 0; s < n; ++s) {
      const std::size_t slot = s % satellitesPerEpochLine;
      if (s > 0 && slot == 0) {
        // A continuation line: 32 blanks, then the next twelve entries.
        if (next_ >= lines_.size()) {
          problem(first.number, "the file ends before the satellite continuation line");
          return false;
        }
        line = &lines_[next_++];
        if (line->text.size() < 32 || !isBlank(line->text.substr(0, 32))) {
          problem(line->number, "satellite continuation line does not start with 32 blanks");
          return false;
        }
      }
      const std::size_t column = 33 + 3 * slot;
      char system = columns(line->text, column, 1)[0];
      const Field<int> prn = integerField(line->text, column + 1, 2);
      if (system == ' ') system = 'G';
      if (std::string_view("GRSET").find(system) == std::string_view::npos || !prn.value ||
          *prn.value < 1) {
        problem(line->number, "satellite entry " + std::to_string(s + 1) + " of " +
                                  std::to_string(n) + " is not A1,I2");
        return false;
      }
      char number[3] = {static_cast<char>('0' + *prn.value / 10),
                        static_cast<char>('0' + *prn.value % 10), 0};
      epoch.satellites.push_back(std::string(1, system) + number);
      const bool lastOnLine = slot == satellitesPerEpochLine - 1 || s + 1 == n;
      if (lastOnLine) {
        // After the last entry only the receiver clock offset (F12.9, on the
        // first line) may follow.
        const std::size_t end = column + 3;
        const bool clockField = line == &first && end <= 69;
        const std::size_t listEnd = clockField ? 69 : 81;
        if (!isBlank(columns(line->text, end, listEnd - end))) {
          problem(line->number, "text after the satellite list (the list holds more than the " +
                                    std::to_string(n) + " satellites counted)");
        } else if (clockField && !fixedField(line->text, 69, 12, 9).valid()) {
          problem(line->number, "receiver clock offset in columns 69-80 is not F12.9");
        }
      }
    }
    if (n == 0 && !isBlank(columns(first.text, 33, 36))) {
      problem(first.number, "satellite list on an epoch of 0 satellites");
    }
    return true;
  }

  bool readObservations(ObservationEpoch& epoch) {
    const std::size_t types = result_.file.header.observationTypes.size();
    const std::size_t linesPerSatellite =
        std::max<std::size_t>(1, (types + observationsPerLine - 1) / observationsPerLine);
    for (const std::string& satellite : epoch.satellites) {
      std::vector<Observation> row;
      for (std::size_t l = 0; l < linesPerSatellite; ++l) {
        if (next_ >= lines_.size()) {
          problem(epoch.line, "the file ends inside the observations of " + satellite);
          return false;
        }
        const Line& line = lines_[next_++];
        const std::size_t onLine = std::min(observationsPerLine, types - l * observationsPerLine);
        if (!isBlank(columns(line.text, observationWidth * onLine + 1, maxLineLength))) {
          problem(line.number, "observation record of " + satellite + " is longer than its " +
                                   std::to_string(onLine) + " fields");
        }
        for (std::size_t k = 0; k < onLine; ++k) {
          row.push_back(observationField(line, 1 + observationWidth * k, k, satellite));
        }
      }
      epoch.observations.push_back(std::move(row));
    }
    return true;
  }

  // Observation k of a record, F14.3,I1,I1 from column.
  Observation observationField(const Line& line, std::size_t column, std::size_t k,
                               const std::string& satellite) {
    Observation o;
    const Field<double> value = fixedField(line.text, column, 14, 3);
    const Field<int> lli = integerField(line.text, column + 14, 1);
    const Field<int> ssi = integerField(line.text, column + 15, 1);
    if (!value.valid() || !lli.valid() || !ssi.valid()) {
      problem(line.number,
              "observation " + std::to_string(k + 1) + " of " + satellite + " is not F14.3,I1,I1");
      return o;
    }
    o.value = value.value;
    o.lossOfLock = lli.value.value_or(-1);
    o.signalStrength = ssi.value.value_or(-1);
    if (o.lossOfLock > 7) problem(line.number, "loss-of-lock indicator above 7");
    return o;
  }

  std::string_view text_;
  ReaderRules rules_;
  std::vector<Line> lines_;
  std::size_t next_ = 0;
  ReadResult result_;
};

}  // namespace

int fullYear(int twoDigitYear) {
  return twoDigitYear >= 80 ? 1900 + twoDigitYear : 2000 + twoDigitYear;
}

ReadResult readObservationFile(std::string_view text, const ReaderRules& rules) {
  return Reader(text, rules).run();
}

}  // namespace kapolex::physical
