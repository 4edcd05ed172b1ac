// Standard file names. They are made once per file, so plain strings do.
#include "rinex/standard_names.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <iterator>

#include "common/ascii.hpp"
#include "common/civil_date.hpp"
#include "common/gps_constants.hpp"
#include "common/numeric.hpp"

namespace kapolex {

namespace {

constexpr std::size_t shortStationLength = 4;
constexpr std::size_t longStationLength = 9;
// A 4-character id in a RINEX 3 name: monument 0, receiver 0, country unknown.
constexpr std::string_view unknownMonumentReceiverCountry = "00XXX";
constexpr std::string_view receiverDataSource = "_R_";
constexpr std::string_view gpsObservationsEnd = "_GO.rnx";
constexpr char rinex2ObservationType = 'o';
constexpr char rinex2CompactType = 'd';
constexpr std::string_view compactRinex3End = "crx";
constexpr char dailySession = '0';
constexpr char firstHourSession = 'a';
constexpr std::string_view unspecifiedInterval = "00U";
constexpr std::int32_t largestCount = FilePeriod::largestCount;

// Appends value's last width decimal digits, zero-filled. Digits only, even
// for a value out of range (a date a damaged log or an absurd week gives), so
// that a name never holds a character that could lead elsewhere.
void appendDigits(std::string& text, std::int64_t value, int width) {
  std::array<char, 8> digits{};
  for (int k = width - 1; k >= 0; --k) {
    const std::int64_t digit = value % 10;
    digits[static_cast<std::size_t>(k)] = static_cast<char>('0' + (digit < 0 ? -digit : digit));
    value /= 10;
  }
  text.append(digits.data(), static_cast<std::size_t>(width));
}

// The RINEX 2 session character: the hour's letter for a file that lies
// within one hour (an hourly file, or a shorter one), and 0 for any longer
// span, which an hour's letter would wrongly name.
char sessionOf(const EpochTime& start, FilePeriod period) {
  const bool withinHour = period.endsWithinHourFrom(start.minute);
  if (!withinHour || start.hour < 0 || start.hour > 23) return dailySession;
  return static_cast<char>(firstHourSession + start.hour);
}

std::int64_t dayOfYear(const EpochTime& time) {
  return std::int64_t{mjdOfDate(time.year, time.month, time.day)} - mjdOfDate(time.year, 1, 1) + 1;
}

bool isLetterOrDigit(char c) {
  return isLetter(c) || isDigit(c);
}

bool isRinex2StationId(std::string_view id) {
  return id.size() == shortStationLength && std::all_of(id.begin(), id.end(), isLetterOrDigit);
}

bool isRinex3StationId(std::string_view id) {
  if (isRinex2StationId(id)) return true;
  return id.size() == longStationLength &&
         std::all_of(id.begin(), id.begin() + 4, isLetterOrDigit) && isDigit(id[4]) &&
         isDigit(id[5]) && std::all_of(id.begin() + 6, id.end(), isLetter);
}

}  // namespace

std::string defaultStationId(std::string_view markerName) {
  const std::string_view start = markerName.substr(0, shortStationLength);
  return isRinex2StationId(start) ? std::string(start) : std::string("XXXX");
}

FilePeriod periodOfEpochs(const EpochTime& first, const EpochTime& last,
                          std::int32_t intervalSeconds) {
  const std::int64_t days = std::int64_t{mjdOfDate(last.year, last.month, last.day)} -
                            mjdOfDate(first.year, first.month, first.day);
  const std::int64_t lastSecond = last.hour * wholeSecondsPerHour +
                                  last.minute * wholeSecondsPerMinute + nearestInteger(last.second);
  const std::int64_t firstMinute =
      first.hour * wholeSecondsPerHour + first.minute * wholeSecondsPerMinute;
  return FilePeriod::covering(days * wholeSecondsPerDay + lastSecond - firstMinute +
                              intervalSeconds);
}

std::string intervalCode(std::int32_t seconds) {
  struct Unit {
    std::int64_t seconds;
    char code;
  };
  constexpr Unit units[] = {{wholeSecondsPerDay, 'D'},
                            {wholeSecondsPerHour, 'H'},
                            {wholeSecondsPerMinute, 'M'},
                            {1, 'S'}};
  for (const Unit& unit : units) {
    const std::int64_t count = seconds / unit.seconds;
    if (seconds % unit.seconds == 0 && count >= 1 && count <= largestCount) {
      std::string code;
      appendDigits(code, count, 2);
      code += unit.code;
      return code;
    }
  }
  return std::string(unspecifiedInterval);
}

std::string rinex2FileName(std::string_view station, const EpochTime& start, FilePeriod period) {
  assert(isRinex2StationId(station));
  std::string name;
  std::transform(station.begin(), station.end(), std::back_inserter(name), lowerCase);
  appendDigits(name, dayOfYear(start), 3);
  name += sessionOf(start, period);
  name += '.';
  appendDigits(name, start.year % 100, 2);
  name += rinex2ObservationType;
  return name;
}

std::string rinex3FileName(std::string_view station, const EpochTime& start, FilePeriod period,
                           std::int32_t intervalSeconds) {
  assert(isRinex3StationId(station));
  std::string name;
  std::transform(station.begin(), station.end(), std::back_inserter(name), upperCase);
  if (station.size() == shortStationLength) name += unknownMonumentReceiverCountry;
  name += receiverDataSource;
  appendDigits(name, start.year, 4);
  appendDigits(name, dayOfYear(start), 3);
  appendDigits(name, start.hour, 2);
  appendDigits(name, start.minute, 2);
  name += '_';
  appendDigits(name, period.count(), 2);
  name += period.unitCode();
  name += '_';
  name += intervalCode(intervalSeconds);
  name += gpsObservationsEnd;
  return name;
}

namespace {

// A RINEX 2 name does not show the interval.
std::string rinex2FileNameOfInterval(std::string_view station, const EpochTime& start,
                                     FilePeriod period, std::int32_t /*intervalSeconds*/) {
  return rinex2FileName(station, start, period);
}

void rinex2CompactName(std::string& name) {
  assert(!name.empty() && name.back() == rinex2ObservationType);
  name.back() = rinex2CompactType;
}

void rinex3CompactName(std::string& name) {
  assert(name.ends_with(gpsObservationsEnd));
  name.replace(name.size() - compactRinex3End.size(), compactRinex3End.size(), compactRinex3End);
}

}  // namespace

constinit const NamingDialect rinex2Names{
    .isStationId = isRinex2StationId,
    .stationHint = "give 4 letters or digits (9 characters need '--rinex-version 3')",
    .fileName = rinex2FileNameOfInterval,
    .toCompactName = rinex2CompactName,
};

constinit const NamingDialect rinex3Names{
    .isStationId = isRinex3StationId,
    .stationHint =
        "give 4 letters or digits, or 9 characters: 4 letters or digits, 2 digits and 3 letters",
    .fileName = rinex3FileName,
    .toCompactName = rinex3CompactName,
};

}  // namespace kapolex
