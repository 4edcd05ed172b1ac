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
    RINHD2(file_, epoch.time, fields_.rinexVersion, false);
    headerOpen_ = false;
  }
  if (fields_.rinexVersion == RinexVersion::v3_04) {
    writeRinex3EpochRecord(file_, epoch, fields_.withSnr);
  } else {
    writeEpochRecord(file_, epoch, fields_.withSnr);
  }
}

}  // namespace kapolex
