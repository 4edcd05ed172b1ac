// A small reader of RINEX 2.10 and 3.04 observation files that also checks
// their form: header records split 60 + 20 columns with known labels of the
// file's version, the records every observation file of that version must
// carry, epoch records (in RINEX 2 with their continuation lines, in RINEX 3
// starting with '>'), and observation records of 16-column fields (in
// RINEX 3 after the satellite). It reads only what the format says, so a
// file that passes can be read by any program of its version.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kapolex::physical {

struct CalendarTime {
  int year = 0;  // full year
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  double second = 0.0;
};

// One observation field: value F14.3, loss-of-lock digit, signal digit.
struct Observation {
  std::optional<double> value;  // empty when the field is blank
  int lossOfLock = -1;          // -1 when blank
  int signalStrength = -1;      // -1 when blank
};

struct ObservationEpoch {
  std::size_t line = 0;  // line number (from 1) of the epoch record
  CalendarTime time;
  int flag = 0;
  // System letter and number, "G05"; a blank system letter reads as 'G'.
  std::vector<std::string> satellites;
  // observations[s][t]: satellite s, observation type t of the header's list
  // (in RINEX 3, of the list of the satellite's system).
  std::vector<std::vector<Observation>> observations;
};

struct ObservationHeader {
  std::string version;  // as written, e.g. "2.10"
  int majorVersion = 2;
  char fileType = ' ';
  char system = ' ';
  std::vector<std::string> labels;  // every record's label, in file order
  // RINEX 2's list, such as "L1"; in RINEX 3 the file system's list, such as
  // "C1C", unless the file is mixed.
  std::vector<std::string> observationTypes;
  // RINEX 3: each system's list from SYS / # / OBS TYPES.
  std::map<char, std::vector<std::string>> systemObservationTypes;
  std::string signalStrengthUnit;         // RINEX 3, blank when not given
  std::optional<std::string> markerType;  // RINEX 3
  std::optional<CalendarTime> firstObservation;
  std::optional<CalendarTime> lastObservation;
  std::string timeSystem;  // of TIME OF FIRST OBS, "GPS" when left blank
};

struct ObservationFile {
  ObservationHeader header;
  std::vector<ObservationEpoch> epochs;
};

struct ReaderRules {
  // Every line must end with CR LF; otherwise LF alone is accepted too.
  bool crLfLineEnds = true;
};

struct ReadResult {
  ObservationFile file;
  // "line N: what is wrong"; empty when the file is well formed. Reading stops
  // at the first fault that loses the structure (an unreadable epoch record, a
  // missing observation line); faults inside a field are listed and skipped.
  std::vector<std::string> problems;
};

ReadResult readObservationFile(std::string_view text, const ReaderRules& rules = {});

// Two-digit RINEX 2 year to the full year: 80-99 are 1980-1999, 00-79 2000-2079.
int fullYear(int twoDigitYear);

}  // namespace kapolex::physical
