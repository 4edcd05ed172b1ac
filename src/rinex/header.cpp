// Fills the header layouts with the fixed texts, the run's clock readings and
// the first epoch's time.
#include "rinex/header.hpp"

#include "rinex/header_texts.hpp"
#include "rinex/layouts.hpp"
#include "rinex/write_record.hpp"

namespace kapolex {

namespace {

void writeHeaderLine(OutputSink& obs, std::string_view content, std::string_view label) {
  writeRecord<headerLineLayout>(obs, content, label);
}

}  // namespace

void RINHDR(OutputSink& obs, std::string_view version, const LocalClock& clock) {
  const LocalDate date = clock.readDate();
  const LocalTimeOfDay time = clock.readTime();

  writeHeaderLine(obs, fixedHeaderLines.front().content, fixedHeaderLines.front().label);
  writeRecord<runDateLayout>(obs, programName, version, runBy, date.year, date.month, date.day,
                             time.hour, timeSeparator, time.minute, timeSeparator, time.second,
                             runDateEnd, runDateLabel);
  for (std::size_t line = 1; line < fixedHeaderLines.size(); ++line) {
    writeHeaderLine(obs, fixedHeaderLines[line].content, fixedHeaderLines[line].label);
  }
}

void RINHD2(OutputSink& obs, std::int32_t year, std::int32_t month, std::int32_t day,
            std::int32_t hour, std::int32_t minute, double second) {
  writeRecord<firstObservationLayout>(obs, year, month, day, hour, minute, second, timeSystem,
                                      firstObservationLabel);
  writeHeaderLine(obs, endOfHeaderContent, endOfHeaderLabel);
}

}  // namespace kapolex
