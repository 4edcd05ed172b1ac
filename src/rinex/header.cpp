// Fills the header layouts with the fixed texts, the run's clock readings and
// the first epoch's time.
#include "rinex/header.hpp"

#include <array>

#include "rinex/header_texts.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"

namespace kapolex {

namespace {

void writeHeaderLine(OutputSink& obs, std::string_view content, std::string_view label) {
  const std::array<FieldValue, 2> values{textValue(content), textValue(label)};
  writeRecord(obs, headerLineLayout, values);
}

}  // namespace

void RINHDR(OutputSink& obs, std::string_view version, const LocalClock& clock) {
  const LocalDate date = clock.readDate();
  const LocalTimeOfDay time = clock.readTime();

  writeHeaderLine(obs, fixedHeaderLines.front().content, fixedHeaderLines.front().label);
  const std::array<FieldValue, 13> runDate{
      textValue(programName),   textValue(version),        textValue(runBy),
      integerValue(date.year),  integerValue(date.month),  integerValue(date.day),
      integerValue(time.hour),  textValue(timeSeparator),  integerValue(time.minute),
      textValue(timeSeparator), integerValue(time.second), textValue(runDateEnd),
      textValue(runDateLabel)};
  writeRecord(obs, runDateLayout, runDate);
  for (std::size_t line = 1; line < fixedHeaderLines.size(); ++line) {
    writeHeaderLine(obs, fixedHeaderLines[line].content, fixedHeaderLines[line].label);
  }
}

void RINHD2(OutputSink& obs, std::int32_t year, std::int32_t month, std::int32_t day,
            std::int32_t hour, std::int32_t minute, double second) {
  const std::array<FieldValue, 8> firstObservation{
      integerValue(year),    integerValue(month),
      integerValue(day),     integerValue(hour),
      integerValue(minute),  realValue(second),
      textValue(timeSystem), textValue(firstObservationLabel)};
  writeRecord(obs, firstObservationLayout, firstObservation);
  writeHeaderLine(obs, endOfHeaderContent, endOfHeaderLabel);
}

}  // namespace kapolex
