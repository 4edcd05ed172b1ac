// The observation writer in either version, read back by the strict reader:
// the same epochs give the same numbers and digits in RINEX 2.10 and 3.04.
#include "rinex/observation_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "physical/rinex_observation_reader.hpp"

namespace kapolex {
namespace {

using physical::Observation;
using physical::ObservationFile;
using physical::ReadResult;

const LocalClock& pinnedClock() {
  static const LocalClock clock{[] {
                                  return LocalDate{2006, 1, 20};
                                },
                                [] {
                                  return LocalTimeOfDay{9, 5, 7};
                                }};
  return clock;
}

HeaderFields fieldsOf(RinexVersion version, bool withSnr) {
  HeaderFields fields;
  fields.rinexVersion = version;
  fields.withSnr = withSnr;
  return fields;
}

// Epochs 5 s apart from 2006-01-18 23:59:45 on, across midnight, with 0 to
// 40 channels of any PRN and values of every size the observation lines
// carry: phases of up to ten integer digits of either sign, ranges, both
// loss-of-lock digits, all signal digits and C/N0 values.
std::vector<MeasurementEpoch> randomEpochs(std::size_t count) {
  std::mt19937_64 random(20);
  std::uniform_int_distribution<int> channels(0, 40);
  std::uniform_int_distribution<int> prn(1, 32);
  std::uniform_int_distribution<int> digits(1, 10);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> range(1.9e7, 2.6e7);
  std::uniform_int_distribution<int> signal(1, 9);
  std::uniform_real_distribution<double> noise(0.0, 64.0);
  std::vector<MeasurementEpoch> epochs(count);
  for (std::size_t n = 0; n < count; ++n) {
    MeasurementEpoch& epoch = epochs[n];
    const double second = 45.0 + 5.0 * static_cast<double>(n) + 3.0e-8;
    const int minutes = static_cast<int>(second / 60.0);
    epoch.time = {2006,
                  1,
                  18 + (minutes > 0 ? 1 : 0),
                  minutes > 0 ? 0 : 23,
                  minutes > 0 ? minutes - 1 : 59,
                  second - 60.0 * minutes};
    epoch.channelCount = channels(random);
    for (int k = 0; k < epoch.channelCount; ++k) {
      ChannelMeasurement& channel = epoch.channels[static_cast<std::size_t>(k)];
      channel.prn = prn(random);
      // Ten integer digits and a sign do not fit F14.3; ten alone do.
      const int integerDigits = digits(random);
      channel.carrierPhase = std::fabs(unit(random)) * std::pow(10.0, integerDigits - 0.01);
      if (integerDigits < 10 && random() % 2 == 0) channel.carrierPhase = -channel.carrierPhase;
      channel.pseudorange = range(random);
      channel.lossOfLock = random() % 2 == 0 ? lossOfLockClear : lossOfLockSet;
      channel.signalFlag = signal(random);
      channel.carrierToNoise = noise(random);
    }
  }
  return epochs;
}

std::string written(const HeaderFields& fields, const std::vector<MeasurementEpoch>& epochs) {
  std::string bytes;
  ObservationWriter writer(OutputSink(bytes, 2, "z.obs", 4096), fields);
  writer.writeHeader("060120", pinnedClock());
  for (const MeasurementEpoch& epoch : epochs) writer.writeEpoch(epoch);
  EXPECT_TRUE(writer.close());
  return bytes;
}

ObservationFile readClean(const std::string& text, const std::string& what) {
  const ReadResult read = physical::readObservationFile(text);
  for (const std::string& problem : read.problems) ADD_FAILURE() << what << ": " << problem;
  return read.file;
}

bool sameObservation(const Observation& a, const Observation& b) {
  return a.value == b.value && a.lossOfLock == b.lossOfLock && a.signalStrength == b.signalStrength;
}

TEST(ObservationWriter, Rinex3ValuesAreThoseOfRinex2) {
  const std::vector<MeasurementEpoch> epochs = randomEpochs(200);
  for (const bool withSnr : {false, true}) {
    SCOPED_TRACE(withSnr ? "with S1" : "without S1");
    const ObservationFile rinex2 =
        readClean(written(fieldsOf(RinexVersion::v2_10, withSnr), epochs), "RINEX 2");
    const ObservationFile rinex3 =
        readClean(written(fieldsOf(RinexVersion::v3_04, withSnr), epochs), "RINEX 3");
    EXPECT_EQ(rinex2.header.version, "2.10");
    EXPECT_EQ(rinex3.header.version, "3.04");
    // RINEX 3's C1C, L1C and S1C are RINEX 2's C1, L1 and S1 in another order.
    const std::vector<std::size_t> rinex2Column =
        withSnr ? std::vector<std::size_t>{1, 0, 2} : std::vector<std::size_t>{1, 0};
    ASSERT_EQ(rinex3.header.observationTypes.size(), rinex2Column.size());
    for (std::size_t t = 0; t < rinex2Column.size(); ++t) {
      EXPECT_EQ(rinex3.header.observationTypes[t],
                rinex2.header.observationTypes[rinex2Column[t]] + "C");
    }
    ASSERT_EQ(rinex2.epochs.size(), epochs.size());
    ASSERT_EQ(rinex3.epochs.size(), epochs.size());
    int differences = 0;
    for (std::size_t n = 0; n < epochs.size(); ++n) {
      const physical::ObservationEpoch& a = rinex2.epochs[n];
      const physical::ObservationEpoch& b = rinex3.epochs[n];
      EXPECT_TRUE(a.time.year == b.time.year && a.time.month == b.time.month &&
                  a.time.day == b.time.day && a.time.hour == b.time.hour &&
                  a.time.minute == b.time.minute && a.time.second == b.time.second)
          << "epoch " << n;
      ASSERT_EQ(a.satellites, b.satellites) << "epoch " << n;
      for (std::size_t s = 0; s < a.satellites.size(); ++s) {
        for (std::size_t t = 0; t < rinex2Column.size(); ++t) {
          if (!sameObservation(b.observations[s][t], a.observations[s][rinex2Column[t]]) &&
              ++differences < 10) {
            ADD_FAILURE() << "epoch " << n << " " << a.satellites[s] << " type " << t;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kapolex
