// Compact RINEX, written from the epoch records. Each epoch gives an epoch
// text (the epoch line and its satellite list), written as its character
// differences from the previous epoch's text; an empty clock line, as
// kapolex writes no receiver clock offset; and one line per satellite with
// each value as a third-order difference along its arc (or the value itself
// where an arc starts) and the flags as character differences. Satellites
// are matched by PRN to the previous written epoch, whatever their place.
#include "rinex/compact_rinex_encoder.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <string>

#include "common/civil_date.hpp"
#include "compat/double_bits.hpp"
#include "rinex/epoch_record.hpp"
#include "rinex/field_editing.hpp"
#include "rinex/header.hpp"

namespace kapolex {

namespace {

constexpr std::size_t maxTypes = 3;  // L1, C1 and S1 in the version's order
constexpr std::size_t maxFlags = 2 * maxTypes;
// A PRN is 1 to 64 (six bits and one); room for every two-digit number.
constexpr std::size_t satelliteSlots = 100;
// 32 columns of date, flag and count, then 3 per satellite (RINEX 3: 41).
constexpr std::size_t maxEpochText = 41 + 3 * static_cast<std::size_t>(maxChannels);
// A satellite line: three fields of "3&" and 20 characters, separators, flags.
constexpr std::size_t maxSatelliteLine = maxTypes * 23 + 1 + maxFlags + 1;
// The arc's highest order, and the U-part beyond which a difference
// restarts it.
constexpr int highestOrder = 3;
constexpr std::int64_t partScale = 100000;
constexpr std::int64_t restartLimit = 100000;
constexpr std::string_view arcStart = "3&";
constexpr char changedToBlank = '&';

constexpr std::string_view crinexFormat = "COMPACT RINEX FORMAT";
constexpr std::string_view crinexVersionLabel = "CRINEX VERS   / TYPE";
constexpr std::string_view crinexProgramLabel = "CRINEX PROG / DATE";
constexpr std::array<std::string_view, 12> monthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::int64_t secondsPerDay = 86400;

// One epoch's observations of a satellite in the version's type order, the
// two flag columns of each, and whether each value fits its field.
struct SatelliteObservations {
  std::array<std::int64_t, maxTypes> values{};
  std::array<bool, maxTypes> present{};
  std::array<char, maxFlags> flags{};
};

// An I1 digit column.
constexpr char digitColumn(std::int32_t digit) {
  return digit >= 0 && digit <= 9 ? static_cast<char>('0' + digit) : '*';
}

}  // namespace

// The version's differences, chosen once by the dialect.
struct CompactRinexDialect {
  std::string_view version;  // on line 1
  // Writes the epoch text for the listed channels; returns its length.
  std::size_t (*writeEpochText)(char* text, const MeasurementEpoch& epoch,
                                const std::uint8_t* listed, std::size_t count);
  // Reads one channel's observations.
  void (*observe)(const ChannelMeasurement& channel, std::size_t types, SatelliteObservations& out);
  // A new satellite's flags: CRINEX 3 writes every blank as '&'.
  bool newFlagsBlankAsAmpersand;
  // A blank value's flags: CRINEX 1 forgets the previous ones.
  bool blankValueForgetsFlags;
};

namespace {

// RINEX 2.10's epoch line (5I3,F11.7,I3,I3) with every satellite as 'G',I2:
// its continuation lines' satellites follow the first line's.
std::size_t writeRinex2EpochText(char* text, const MeasurementEpoch& epoch,
                                 const std::uint8_t* listed, std::size_t count) {
  const EpochTime& time = epoch.time;
  char* p = text;
  for (const std::int32_t value :
       {time.year - 100 * (time.year / 100), time.month, time.day, time.hour, time.minute}) {
    editIntegerField<3, 1>(p, value);
    p += 3;
  }
  editFixedField<11, 7>(p, time.second);
  p += 11;
  editIntegerField<3, 1>(p, 0);
  editIntegerField<3, 1>(p + 3, static_cast<std::int64_t>(count));
  p += 6;
  for (std::size_t k = 0; k < count; ++k) {
    *p = 'G';
    editIntegerField<2, 1>(p + 1, epoch.channels[listed[k]].prn);
    p += 3;
  }
  return static_cast<std::size_t>(p - text);
}

// RINEX 3.04's epoch record ('> ',I4,4(' ',I2.2),F11.7,'  ',I1,I3), blanks
// to column 41, then each satellite as 'G',I2.2.
std::size_t writeRinex3EpochText(char* text, const MeasurementEpoch& epoch,
                                 const std::uint8_t* listed, std::size_t count) {
  constexpr std::size_t satellitesColumn = 41;
  const EpochTime& time = epoch.time;
  std::memset(text, ' ', satellitesColumn);
  text[0] = '>';
  editIntegerField<4, 1>(text + 2, time.year);
  char* p = text + 6;
  for (const std::int32_t value : {time.month, time.day, time.hour, time.minute}) {
    editIntegerField<2, 2>(p + 1, value);
    p += 3;
  }
  editFixedField<11, 7>(p, time.second);
  editIntegerField<1, 1>(p + 13, 0);
  editIntegerField<3, 1>(p + 14, static_cast<std::int64_t>(count));
  p = text + satellitesColumn;
  for (std::size_t k = 0; k < count; ++k) {
    *p = 'G';
    editIntegerField<2, 2>(p + 1, epoch.channels[listed[k]].prn);
    p += 3;
  }
  return static_cast<std::size_t>(p - text);
}

// A value too wide for its field is blank; in RINEX 2 its flags with it,
// as a blank value carries none there.
void setValue(SatelliteObservations& out, std::size_t type, double value, bool blankFlags) {
  const std::optional<std::int64_t> thousandths = fixedThousandths(value);
  out.present[type] = thousandths.has_value();
  out.values[type] = thousandths.value_or(0);
  if (!thousandths && blankFlags) {
    out.flags[2 * type] = ' ';
    out.flags[2 * type + 1] = ' ';
  }
}

// L1 with its loss-of-lock and signal digits, C1, S1.
void observeRinex2(const ChannelMeasurement& channel, std::size_t types,
                   SatelliteObservations& out) {
  out.flags = {
      digitColumn(channel.lossOfLock), digitColumn(channel.signalFlag), ' ', ' ', ' ', ' '};
  setValue(out, 0, channel.carrierPhase, true);
  setValue(out, 1, channel.pseudorange, true);
  if (types == maxTypes) setValue(out, 2, channel.carrierToNoise, true);
}

// C1C, L1C with its digits, S1C.
void observeRinex3(const ChannelMeasurement& channel, std::size_t types,
                   SatelliteObservations& out) {
  out.flags = {
      ' ', ' ', digitColumn(rinex3LossOfLock(channel.lossOfLock)), digitColumn(channel.signalFlag),
      ' ', ' '};
  setValue(out, 0, channel.pseudorange, false);
  setValue(out, 1, channel.carrierPhase, false);
  if (types == maxTypes) setValue(out, 2, channel.carrierToNoise, false);
}

// One observation type's arc of a satellite: its order (-1: no arc) and the
// upper and lower parts of its differences of orders 0 to 3.
struct Arc {
  int order = -1;
  std::array<std::int64_t, highestOrder + 1> upper{};
  std::array<std::int64_t, highestOrder + 1> lower{};
};

struct SatelliteState {
  std::uint64_t lastEpoch = 0;  // the epoch number it was last written in
  std::uint64_t listedIn = 0;   // the epoch number it was last listed in
  std::array<Arc, maxTypes> arcs{};
  std::array<char, maxFlags> flags{};
};

char* appendNumber(char* p, std::int64_t value) {
  return std::to_chars(p, p + 20, value).ptr;
}

// The value's next difference along its arc, or the value where the arc
// starts or restarts; the arc keeps what the next epoch needs.
char* appendArcValue(char* p, Arc& arc, std::int64_t value, bool continues) {
  const std::int64_t upper = value / partScale;
  const std::int64_t lower = value - upper * partScale;
  if (continues && arc.order >= 0) {
    const int order = std::min(arc.order + 1, highestOrder);
    std::array<std::int64_t, highestOrder + 1> u{upper};
    std::array<std::int64_t, highestOrder + 1> l{lower};
    for (int j = 1; j <= order; ++j) {
      const auto k = static_cast<std::size_t>(j);
      u[k] = u[k - 1] - arc.upper[k - 1];
      l[k] = l[k - 1] - arc.lower[k - 1];
    }
    const auto top = static_cast<std::size_t>(order);
    if (u[top] <= restartLimit && u[top] >= -restartLimit) {
      arc.order = order;
      arc.upper = u;
      arc.lower = l;
      return appendNumber(p, partScale * u[top] + l[top]);
    }
  }
  arc.order = 0;
  arc.upper[0] = upper;
  arc.lower[0] = lower;
  std::memcpy(p, arcStart.data(), arcStart.size());
  return appendNumber(p + arcStart.size(), value);
}

// Writes text's differences from previous (see the format's text rule)
// at p, trailing blanks left out; returns the end.
char* appendTextDifference(char* p, const char* text, std::size_t length, const char* previous,
                           std::size_t previousLength) {
  char* const start = p;
  const std::size_t common = std::min(length, previousLength);
  std::size_t i = 0;
  // Most of an epoch text repeats the previous one: equal words go out as
  // blanks, eight at a time.
  constexpr std::size_t word = 8;
  for (; i + word <= common && std::memcmp(text + i, previous + i, word) == 0; i += word) {
    std::memset(p, ' ', word);
    p += word;
  }
  for (; i < common; ++i) {
    const char c = text[i];
    *p++ = c == previous[i] ? ' ' : c == ' ' ? changedToBlank : c;
  }
  for (std::size_t k = common; k < previousLength; ++k) {
    *p++ = previous[k] != ' ' ? changedToBlank : ' ';
  }
  if (length > common) {
    std::memcpy(p, text + common, length - common);
    p += length - common;
  }
  while (p != start && p[-1] == ' ') --p;
  return p;
}

// "DD-Mon-YY HH:MM" for a UTC reading.
std::string compactDate(std::int64_t utcSeconds) {
  const std::int64_t days =
      (utcSeconds >= 0 ? utcSeconds : utcSeconds - secondsPerDay + 1) / secondsPerDay;
  const std::int64_t ofDay = utcSeconds - days * secondsPerDay;
  const CivilDate date = civilDateOfDays(days);
  std::array<char, 16> text{};
  const auto twoDigits = [&](std::size_t at, std::int64_t value) {
    text[at] = static_cast<char>('0' + value / 10 % 10);
    text[at + 1] = static_cast<char>('0' + value % 10);
  };
  twoDigits(0, date.day);
  text[2] = '-';
  monthNames[static_cast<std::size_t>(date.month - 1)].copy(&text[3], 3);
  text[6] = '-';
  twoDigits(7, (date.year % 100 + 100) % 100);
  text[9] = ' ';
  twoDigits(10, ofDay / 3600);
  text[12] = ':';
  twoDigits(13, ofDay / 60 % 60);
  return {text.data(), 15};
}

// Content padded with blanks to the width.
std::string padded(std::string_view content, std::size_t width) {
  std::string text(content.substr(0, width));
  text.resize(width, ' ');
  return text;
}

// A header line as the format copies it: without its line end and
// trailing blanks, a line of blanks keeping one; ended by LF.
std::string_view compactHeaderLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
    line.remove_suffix(1);
  }
  return line.empty() ? std::string_view(" ") : line;
}

class CompactRinexEncoder final : public EpochEncoder {
 public:
  CompactRinexEncoder(const CompactRinexDialect& dialect, bool withSnr, std::string_view program,
                      const UtcClock& clock, CompactRinexTally& tally)
      : dialect_(dialect),
        types_(withSnr ? maxTypes : maxTypes - 1),
        program_(program),
        clock_(clock),
        tally_(tally) {}

  // Lines 1 and 2; everything forgotten, as at a reset.
  void startFile(OutputSink& file) override {
    // Two epoch numbers on, so that no satellite was in the previous epoch.
    epochNumber_ += 2;
    previousText_[0] = changedToBlank;
    previousLength_ = 1;
    file.write(padded(dialect_.version, 20) + padded(crinexFormat, 40) +
               std::string(crinexVersionLabel) + '\n');
    file.write(padded(program_, 40) + padded(compactDate(clock_.readSeconds()), 20) +
               std::string(crinexProgramLabel) + '\n');
  }

  void writeEpoch(OutputSink& file, const MeasurementEpoch& epoch) override {
    ++epochNumber_;
    const std::size_t count = listSatellites(epoch);
    const std::size_t length = dialect_.writeEpochText(text_.data(), epoch, listed_.data(), count);
    char* const line = file.reserve(maxEpochText + 2);
    char* end =
        appendTextDifference(line, text_.data(), length, previousText_.data(), previousLength_);
    *end++ = '\n';
    *end++ = '\n';  // the clock line: kapolex writes no receiver clock offset
    file.commit(static_cast<std::size_t>(end - line));
    std::memcpy(previousText_.data(), text_.data(), length);
    previousLength_ = length;
    for (std::size_t k = 0; k < count; ++k) writeSatelliteLine(file, epoch.channels[listed_[k]]);
  }

  std::uint64_t writeHeaderLines(OutputSink& file, std::string_view lines,
                                 std::size_t marked) override {
    std::uint64_t markedAt = file.position();
    std::size_t at = 0;
    while (at < lines.size()) {
      const std::size_t end = std::min(lines.find('\n', at), lines.size() - 1);
      if (at == marked) markedAt = file.position();
      file.write(compactHeaderLine(lines.substr(at, end - at + 1)));
      file.write("\n");
      at = end + 1;
    }
    return markedAt;
  }

  void encodeHeaderLine(std::string& line) const override {
    line = std::string(compactHeaderLine(line)) + '\n';
  }

  // A file that keeps no epoch is closed with END OF HEADER, so that a
  // reader of the format finds its header whole.
  void closeEmptyHeader(OutputSink& file) override {
    std::string line;
    {
      OutputSink lineSink(line, file.unit(), file.path(), 128);
      writeEndOfHeader(lineSink);
      lineSink.flushQuietly();
    }
    writeHeaderLines(file, line, 0);
    ++tally_.headerOnlyFiles;
  }

 private:
  // Lists the epoch's channels in order, each PRN once: a satellite listed
  // again in the same epoch is left out and counted.
  std::size_t listSatellites(const MeasurementEpoch& epoch) {
    const std::size_t channels =
        static_cast<std::size_t>(std::clamp(epoch.channelCount, 0, maxChannels));
    std::size_t count = 0;
    for (std::size_t k = 0; k < channels; ++k) {
      SatelliteState& satellite = slotOf(epoch.channels[k].prn);
      if (satellite.listedIn == epochNumber_) {
        ++tally_.repeatedSatellites;
        continue;
      }
      satellite.listedIn = epochNumber_;
      listed_[count++] = static_cast<std::uint8_t>(k);
    }
    return count;
  }

  SatelliteState& slotOf(std::int32_t prn) {
    // A PRN is 1 to 64 by its six bits; slot 0 for anything else.
    const auto slot = prn > 0 && prn < static_cast<std::int32_t>(satelliteSlots)
                          ? static_cast<std::size_t>(prn)
                          : 0;
    return satellites_[slot];
  }

  void writeSatelliteLine(OutputSink& file, const ChannelMeasurement& channel) {
    SatelliteObservations now;
    dialect_.observe(channel, types_, now);
    SatelliteState& satellite = slotOf(channel.prn);
    const bool continues = satellite.lastEpoch + 1 == epochNumber_;
    satellite.lastEpoch = epochNumber_;
    char* const line = file.reserve(maxSatelliteLine);
    char* p = line;
    for (std::size_t t = 0; t < types_; ++t) {
      if (t > 0) *p++ = ' ';
      Arc& arc = satellite.arcs[t];
      if (now.present[t]) {
        p = appendArcValue(p, arc, now.values[t], continues);
      } else {
        ++tally_.blankedValues;
        arc.order = -1;
        if (dialect_.blankValueForgetsFlags) {
          satellite.flags[2 * t] = ' ';
          satellite.flags[2 * t + 1] = ' ';
        }
      }
    }
    *p++ = ' ';
    const std::size_t flagCount = 2 * types_;
    if (continues) {
      // Flags that did not change write nothing.
      if (std::memcmp(now.flags.data(), satellite.flags.data(), flagCount) != 0) {
        p = appendTextDifference(p, now.flags.data(), flagCount, satellite.flags.data(), flagCount);
      }
    } else {
      for (std::size_t f = 0; f < flagCount; ++f) {
        const char c = now.flags[f];
        *p++ = c == ' ' && dialect_.newFlagsBlankAsAmpersand ? changedToBlank : c;
      }
    }
    while (p != line && p[-1] == ' ') --p;
    *p++ = '\n';
    file.commit(static_cast<std::size_t>(p - line));
    satellite.flags = now.flags;
  }

  const CompactRinexDialect& dialect_;
  std::size_t types_;
  std::string program_;
  const UtcClock& clock_;
  CompactRinexTally& tally_;
  std::uint64_t epochNumber_ = 0;
  std::array<std::uint8_t, maxChannels> listed_{};
  std::array<SatelliteState, satelliteSlots> satellites_{};
  std::array<char, maxEpochText> text_{};
  std::array<char, maxEpochText> previousText_{};
  std::size_t previousLength_ = 0;
};

}  // namespace

constinit const CompactRinexDialect compactRinex1{"1.0", writeRinex2EpochText, observeRinex2, false,
                                                  true};
constinit const CompactRinexDialect compactRinex3{"3.0", writeRinex3EpochText, observeRinex3, true,
                                                  false};

std::optional<std::int64_t> fixedThousandths(double value) {
  const DoubleBits parts = decompose(value);
  if (!parts.isFinite()) return std::nullopt;
  // |value| = significand * 2^exponent; rounded to thousandths, ties to
  // even, as the field editor rounds.
  const int exponent = parts.exponent();
  const std::uint64_t significand = parts.significand();
  std::uint64_t rounded = 0;
  // From 2^52 on a value has sixteen digits, far too many; below 2^-11 it
  // rounds to zero.
  if (exponent >= 0) return std::nullopt;
  if (exponent >= -63) {
    const int shift = -exponent;
    const std::uint64_t scaled = significand * 1000;  // below 2^63
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    const std::uint64_t odd = (scaled >> shift) & 1;
    rounded = (scaled + (half - 1) + odd) >> shift;
  }
  // F14.3: ten integer columns, one of which a minus takes.
  constexpr std::uint64_t positiveLimit = 10'000'000'000'000;
  constexpr std::uint64_t negativeLimit = 1'000'000'000'000;
  const bool minus = parts.negative() && rounded != 0;
  if (rounded >= (minus ? negativeLimit : positiveLimit)) return std::nullopt;
  const auto magnitude = static_cast<std::int64_t>(rounded);
  return minus ? -magnitude : magnitude;
}

std::unique_ptr<EpochEncoder> compactRinexEncoder(const RinexDialect& dialect, bool withSnr,
                                                  std::string_view program, const UtcClock& clock,
                                                  CompactRinexTally& tally) {
  return std::make_unique<CompactRinexEncoder>(dialect.compact, withSnr, program, clock, tally);
}

}  // namespace kapolex
