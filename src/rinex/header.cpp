// Fills the header layouts with the fixed texts, the run's fields, its clock
// readings and the first epoch's time; and each dialect's part of the
// header, the lines that differ between RINEX 2.10 and 3.04.
#include "rinex/header.hpp"

#include <array>
#include <charconv>
#include <span>

#include "rinex/header_texts.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"

namespace kapolex {

bool fitsHeaderField(std::string_view text, std::size_t width) {
  if (text.size() > width) return false;
  for (const char c : text) {
    if (c < ' ' || c > '~') return false;
  }
  return true;
}

bool fitsHeaderCoordinates(const Coordinates& coordinates) {
  std::string written;
  {
    OutputSink sink(written, 0, "", 64);
    writeRecord<coordinatesLayout>(sink, coordinates[0], coordinates[1], coordinates[2]);
    sink.flush();
  }
  return written.find('*') == std::string::npos;
}

namespace {

// Columns 1 to 60 of a header line, assembled from its fields.
class HeaderContent {
 public:
  HeaderContent() { text_.fill(' '); }
  explicit HeaderContent(std::string_view start) : HeaderContent() { put(0, start); }

  HeaderContent& put(const HeaderTextField& field, std::string_view text) {
    return put(field.column, text.substr(0, field.width));
  }
  HeaderContent& put(std::size_t column, std::string_view text) {
    text.copy(text_.data() + column, text_.size() - column);
    return *this;
  }
  std::string_view text() const { return {text_.data(), text_.size()}; }

 private:
  std::array<char, headerContentWidth> text_;
};

void writeHeaderLine(OutputSink& obs, std::string_view content, std::string_view label) {
  writeRecord<headerLineLayout>(obs, content, label);
}

void writeCoordinatesLine(OutputSink& obs, const std::optional<Coordinates>& coordinates,
                          std::string_view fixedContent, std::string_view label) {
  if (!coordinates) return writeHeaderLine(obs, fixedContent, label);
  const std::string_view blanks =
      endOfHeaderContent.substr(0, headerContentWidth - threeCoordinatesWidth);
  const Coordinates& c = *coordinates;
  writeRecord<coordinatesLineLayout>(obs, c[0], c[1], c[2], blanks, label);
}

// The decimation comment: "Forced Modulo Decimation to 5 seconds".
HeaderContent decimationComment(std::int32_t seconds) {
  char digits[12];
  const char* end = std::to_chars(digits, digits + sizeof digits, seconds).ptr;
  HeaderContent comment(decimationCommentStart);
  const std::size_t after = decimationCommentStart.size();
  const auto length = static_cast<std::size_t>(end - digits);
  comment.put(after, {digits, length});
  comment.put(after + length, seconds == 1 ? decimationCommentEndOne : decimationCommentEnd);
  return comment;
}

void writeRunDateLine(OutputSink& obs, std::string_view version, std::string_view runBy,
                      const LocalClock& clock, const HeaderDialect& dialect) {
  const LocalDate date = clock.readDate();
  const LocalTimeOfDay time = clock.readTime();
  // The run-by field after the program field's last five blanks.
  HeaderContent runByText;
  runByText.put(runByGap, runBy.substr(0, runByField.width));
  const std::string_view runByColumns = runByText.text().substr(0, runByGap + runByField.width);
  dialect.writeRunDateLine(obs, version, runByColumns, date, time);
}

// MARKER NAME to ANTENNA: DELTA H/E/N, the same in both versions.
void writeStationLines(OutputSink& obs, const HeaderFields& fields) {
  writeHeaderLine(obs, HeaderContent().put(markerNameField, fields.markerName).text(),
                  markerNameLabel);
  writeHeaderLine(obs, HeaderContent().put(markerNumberField, fields.markerNumber).text(),
                  markerNumberLabel);
  writeHeaderLine(
      obs,
      HeaderContent().put(observerField, fields.observer).put(agencyField, fields.agency).text(),
      observerAgencyLabel);
  writeHeaderLine(obs,
                  HeaderContent()
                      .put(receiverNumberField, fields.receiverNumber)
                      .put(receiverTypeField, receiverTypeField.defaultText)
                      .put(receiverVersionField, receiverVersionField.defaultText)
                      .text(),
                  receiverLabel);
  writeHeaderLine(obs,
                  HeaderContent()
                      .put(antennaNumberField, fields.antennaNumber)
                      .put(antennaTypeField, fields.antennaType)
                      .text(),
                  antennaLabel);
  writeCoordinatesLine(obs, fields.position, defaultPositionContent, positionLabel);
  writeCoordinatesLine(obs, fields.antennaDelta, defaultAntennaDeltaContent, antennaDeltaLabel);
}

// The decimation and signal digit comments that close the first half.
void writeCommentLines(OutputSink& obs, std::int32_t intervalSeconds) {
  writeHeaderLine(obs, decimationComment(intervalSeconds).text(), commentLabel);
  writeHeaderLine(obs, snrMappingComment, commentLabel);
  writeHeaderLine(obs, snrScaleComment, commentLabel);
}

void writeHeaderLines(OutputSink& obs, std::span<const HeaderLineText> lines) {
  for (const HeaderLineText& line : lines) writeHeaderLine(obs, line.content, line.label);
}

void writeObservationTime(OutputSink& obs, const EpochTime& time, std::string_view label) {
  writeRecord<observationTimeLayout>(obs, time.year, time.month, time.day, time.hour, time.minute,
                                     time.second, timeSystem, label);
}

// RINEX 2.10: the date as "yyyymmdd hh:mm:ss" and "ET ".
void writeRinex2RunDateLine(OutputSink& obs, std::string_view version,
                            std::string_view runByColumns, const LocalDate& date,
                            const LocalTimeOfDay& time) {
  writeRecord<runDateLayout>(obs, programName, version, runByColumns, date.year, date.month,
                             date.day, time.hour, timeSeparator, time.minute, timeSeparator,
                             time.second, runDateEnd, runDateLabel);
}

// RINEX 3.04: the date as "yyyymmdd hhmmss LCL ".
void writeRinex3RunDateLine(OutputSink& obs, std::string_view version,
                            std::string_view runByColumns, const LocalDate& date,
                            const LocalTimeOfDay& time) {
  writeRecord<rinex3RunDateLayout>(obs, programName, version, runByColumns, date.year, date.month,
                                   date.day, rinex3DateTimeGap, time.hour, time.minute, time.second,
                                   rinex3DateEnd, runDateLabel);
}

// The seconds as F11.4 in RINEX 2.10, as F10.3 in 3.04.
void writeRinex2IntervalLine(OutputSink& obs, std::int32_t seconds) {
  const std::string_view blanks = endOfHeaderContent.substr(0, headerContentWidth - intervalWidth);
  writeRecord<intervalLineLayout>(obs, static_cast<double>(seconds), blanks, intervalLabel);
}

void writeRinex3IntervalLine(OutputSink& obs, std::int32_t seconds) {
  const std::string_view blanks =
      endOfHeaderContent.substr(0, headerContentWidth - rinex3IntervalWidth);
  writeRecord<rinex3IntervalLineLayout>(obs, static_cast<double>(seconds), blanks, intervalLabel);
}

// RINEX 2.10 states the wavelength factors before the observation types.
constexpr HeaderLineText rinex2ObservationTypes[] = {
    {wavelengthContent, wavelengthLabel}, {observationTypesContent, observationTypesLabel}};
constexpr HeaderLineText rinex2ObservationTypesWithSnr[] = {
    {wavelengthContent, wavelengthLabel}, {observationTypesWithSnrContent, observationTypesLabel}};
// RINEX 3.04 states the unit of S1C after the types.
constexpr HeaderLineText rinex3ObservationTypes[] = {
    {systemObservationTypesContent, systemObservationTypesLabel}};
constexpr HeaderLineText rinex3ObservationTypesWithSnr[] = {
    {systemObservationTypesWithSnrContent, systemObservationTypesLabel},
    {signalStrengthUnitContent, signalStrengthUnitLabel}};
constexpr HeaderLineText rinex3ClosingLines[] = {{phaseShiftContent, phaseShiftLabel}};

}  // namespace

constinit const HeaderDialect rinex2Header{
    .versionTypeContent = versionTypeContent,
    .writeRunDateLine = writeRinex2RunDateLine,
    .observationTypeLines = rinex2ObservationTypes,
    .observationTypeLinesWithSnr = rinex2ObservationTypesWithSnr,
    .writeIntervalLine = writeRinex2IntervalLine,
    .closingLines = {},
};

constinit const HeaderDialect rinex3Header{
    .versionTypeContent = rinex3VersionTypeContent,
    .writeRunDateLine = writeRinex3RunDateLine,
    .observationTypeLines = rinex3ObservationTypes,
    .observationTypeLinesWithSnr = rinex3ObservationTypesWithSnr,
    .writeIntervalLine = writeRinex3IntervalLine,
    .closingLines = rinex3ClosingLines,
};

void writeHeaderStart(OutputSink& obs, std::string_view version, const HeaderFields& fields,
                      const LocalClock& clock) {
  const HeaderDialect& dialect = fields.dialect->header;
  writeHeaderLine(obs, dialect.versionTypeContent, versionTypeLabel);
  writeRunDateLine(obs, version, fields.runBy, clock, dialect);
  writeStationLines(obs, fields);
  writeHeaderLines(
      obs, fields.withSnr ? dialect.observationTypeLinesWithSnr : dialect.observationTypeLines);
  dialect.writeIntervalLine(obs, fields.intervalSeconds);
  writeCommentLines(obs, fields.intervalSeconds);
}

std::optional<std::uint64_t> writeHeaderEnd(OutputSink& obs, const EpochTime& first,
                                            const RinexDialect& dialect, bool withLastObservation) {
  writeObservationTime(obs, first, firstObservationLabel);
  std::optional<std::uint64_t> lastObservationOffset;
  if (withLastObservation) {
    lastObservationOffset = obs.position();
    writeObservationTime(obs, first, lastObservationLabel);
  }
  writeHeaderLines(obs, dialect.header.closingLines);
  writeEndOfHeader(obs);
  return lastObservationOffset;
}

void writeEndOfHeader(OutputSink& obs) {
  writeHeaderLine(obs, endOfHeaderContent, endOfHeaderLabel);
}

void writeLastObservationTime(OutputSink& obs, const EpochTime& last) {
  writeObservationTime(obs, last, lastObservationLabel);
}

}  // namespace kapolex
