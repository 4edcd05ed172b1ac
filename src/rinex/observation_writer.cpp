#include "rinex/observation_writer.hpp"

#include "rinex/epoch_record.hpp"
#include "rinex/header.hpp"

namespace kapolex {

void ObservationWriter::writeHeader(std::string_view version, const LocalClock& clock) {
  RINHDR(file_, version, fields_, clock);
  headerOpen_ = true;
}

void ObservationWriter::writeEpoch(const MeasurementEpoch& epoch) {
  if (headerOpen_) {
    // TIME OF FIRST OBS carries exactly the time that the epoch line prints.
    const EpochTime& time = epoch.time;
    RINHD2(file_, time.year, time.month, time.day, time.hour, time.minute, time.second);
    headerOpen_ = false;
  }
  writeEpochRecord(file_, epoch, fields_.withSnr);
}

}  // namespace kapolex
