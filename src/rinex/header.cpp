// Fills the header layouts with the fixed texts, the run's fields, its clock
// readings and the first epoch's time.
#include "rinex/header.hpp"

#include <array>
#include <charconv>

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
                      const LocalClock& clock, RinexVersion rinexVersion) {
  const LocalDate date = clock.readDate();
  const LocalTimeOfDay time = clock.readTime();
  // The run-by field after the program field's last five blanks.
  HeaderContent runByText;
  runByText.put(runByGap, runBy.substr(0, runByField.width));
  const std::string_view runByColumns = runByText.text().substr(0, runByGap + runByField.width);
  if (rinexVersion == RinexVersion::v3_04) {
    writeRecord<rinex3RunDateLayout>(obs, programName, version, runByColumns, date.year, date.month,
                                     date.day, rinex3DateTimeGap, time.hour, time.minute,
                                     time.second, rinex3DateEnd, runDateLabel);
    return;
  }
  writeRecord<runDateLayout>(obs, programName, version, runByColumns, date.year, date.month,
                             date.day, time.hour, timeSeparator, time.minute, timeSeparator,
                             time.second, runDateEnd, runDateLabel);
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

void writeRinex3HeaderStart(OutputSink& obs, std::string_view version, const HeaderFields& fields,
                            const LocalClock& clock) {
  writeHeaderLine(obs, rinex3VersionTypeContent, versionTypeLabel);
  writeRunDateLine(obs, version, fields.runBy, clock, RinexVersion::v3_04);
  writeStationLines(obs, fields);
  writeHeaderLine(
      obs, fields.withSnr ? systemObservationTypesWithSnrContent : systemObservationTypesContent,
      systemObservationTypesLabel);
  if (fields.withSnr) writeHeaderLine(obs, signalStrengthUnitContent, signalStrengthUnitLabel);
  const std::string_view intervalBlanks =
      endOfHeaderContent.substr(0, headerContentWidth - rinex3IntervalWidth);
  writeRecord<rinex3IntervalLineLayout>(obs, static_cast<double>(fields.intervalSeconds),
                                        intervalBlanks, intervalLabel);
  writeCommentLines(obs, fields.intervalSeconds);
}

void writeObservationTime(OutputSink& obs, const EpochTime& time, std::string_view label) {
  writeRecord<observationTimeLayout>(obs, time.year, time.month, time.day, time.hour, time.minute,
                                     time.second, timeSystem, label);
}

}  // namespace

void writeHeaderStart(OutputSink& obs, std::string_view version, const HeaderFields& fields,
                      const LocalClock& clock) {
  if (fields.rinexVersion == RinexVersion::v3_04) {
    return writeRinex3HeaderStart(obs, version, fields, clock);
  }
  writeHeaderLine(obs, versionTypeContent, versionTypeLabel);
  writeRunDateLine(obs, version, fields.runBy, clock, RinexVersion::v2_10);
  writeStationLines(obs, fields);
  writeHeaderLine(obs, wavelengthContent, wavelengthLabel);
  writeHeaderLine(obs, fields.withSnr ? observationTypesWithSnrContent : observationTypesContent,
                  observationTypesLabel);
  const std::string_view intervalBlanks =
      endOfHeaderContent.substr(0, headerContentWidth - intervalWidth);
  writeRecord<intervalLineLayout>(obs, static_cast<double>(fields.intervalSeconds), intervalBlanks,
                                  intervalLabel);
  writeCommentLines(obs, fields.intervalSeconds);
}

std::optional<std::uint64_t> writeHeaderEnd(OutputSink& obs, const EpochTime& first,
                                            RinexVersion rinexVersion, bool withLastObservation) {
  writeObservationTime(obs, first, firstObservationLabel);
  std::optional<std::uint64_t> lastObservationOffset;
  if (withLastObservation) {
    lastObservationOffset = obs.position();
    writeObservationTime(obs, first, lastObservationLabel);
  }
  if (rinexVersion == RinexVersion::v3_04) writeHeaderLine(obs, phaseShiftContent, phaseShiftLabel);
  writeHeaderLine(obs, endOfHeaderContent, endOfHeaderLabel);
  return lastObservationOffset;
}

void writeLastObservationTime(OutputSink& obs, const EpochTime& last) {
  writeObservationTime(obs, last, lastObservationLabel);
}

}  // namespace kapolex
