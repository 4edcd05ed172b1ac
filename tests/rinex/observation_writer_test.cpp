// The observation writer in either version, read back by the strict reader:
// the same epochs give the same numbers and digits in RINEX 2.10 and 3.04,
// TIME OF LAST OBS is filled in wherever the output can be rewritten (in a
// gzip'd file too, whose header is a member of its own), and a run goes on
// in a next file with its own header.
#include "rinex/observation_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/gzip_encoder.hpp"
#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "support/gzip_reader.hpp"
#include "support/program_run.hpp"
#include "support/version_agreement.hpp"

namespace kapolex {
namespace {

using physical::ObservationFile;
using testing::readClean;

const LocalClock& pinnedClock() {
  static const LocalClock clock{[] {
                                  return LocalDate{2006, 1, 20};
                                },
                                [] {
                                  return LocalTimeOfDay{9, 5, 7};
                                }};
  return clock;
}

HeaderFields fieldsOf(const RinexDialect& dialect, bool withSnr, bool withLastObservation = false) {
  HeaderFields fields;
  fields.dialect = &dialect;
  fields.withSnr = withSnr;
  fields.withLastObservation = withLastObservation;
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

TEST(ObservationWriter, Rinex3ValuesAreThoseOfRinex2) {
  const std::vector<MeasurementEpoch> epochs = randomEpochs(200);
  for (const bool withSnr : {false, true}) {
    SCOPED_TRACE(withSnr ? "with S1" : "without S1");
    const ObservationFile rinex2 =
        readClean(written(fieldsOf(rinex2Dialect, withSnr), epochs), "RINEX 2");
    const ObservationFile rinex3 =
        readClean(written(fieldsOf(rinex3Dialect, withSnr), epochs), "RINEX 3");
    EXPECT_EQ(rinex3.header.observationTypes.size(), withSnr ? 3U : 2U);
    EXPECT_EQ(rinex3.epochs.size(), epochs.size());
    testing::expectSameObservations(rinex2, rinex3);
  }
}

// The text of a gzip'd observation file, whose header must be a stored
// member of its own and the body a second member.
std::string gzipText(const std::string& gzip) {
  const std::optional<std::vector<testing::GzipMember>> members = testing::gzipMembers(gzip);
  if (!members || members->size() != 2) {
    ADD_FAILURE() << "not a header member and a body member";
    return "";
  }
  const std::string& header = members->front().text;
  EXPECT_TRUE(members->front().stored);
  const std::size_t end = header.find("END OF HEADER");
  EXPECT_TRUE(end != std::string::npos && header.find('\n', end) + 1 == header.size());
  return header + members->back().text;
}

OutputSink gzipped(OutputSink sink) {
  sink.encodeWith(gzipEncoder());
  return sink;
}

// Where a test's observation file goes and how its bytes are read back.
struct Output {
  const char* name;
  std::function<OutputSink()> open;
  std::function<std::string()> content;
  bool rewritable;
};

TEST(ObservationWriter, LastObservationIsFilledInWhenTheFileCloses) {
  const testing::ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs").string();
  std::string memory;
  const Output outputs[] = {
      {"memory",
       [&] {
         memory.clear();
         return OutputSink(memory, 2, "z.obs", 4096);
       },
       [&] { return memory; }, true},
      // An existing longer file, cut at the first write as the run opens it.
      {"a regular file",
       [&] {
         folder.write("z.obs", std::string(100000, 'x'));
         return OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 256, true);
       },
       [&] { return folder.read("z.obs").value_or(""); }, true},
      // Written forward only, as a pipe or a terminal is.
      {"a file not cut at the first write",
       [&] {
         folder.write("z.obs", "");
         return OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 4096, false);
       },
       [&] { return folder.read("z.obs").value_or(""); }, false},
      {"gzip in memory",
       [&] {
         memory.clear();
         return gzipped(OutputSink(memory, 2, "z.obs", 4096));
       },
       [&] { return gzipText(memory); }, true},
      {"gzip to a regular file",
       [&] {
         folder.write("z.obs", std::string(100000, 'x'));
         return gzipped(
             OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 256, true));
       },
       [&] { return gzipText(folder.read("z.obs").value_or("")); }, true},
      {"gzip written forward only",
       [&] {
         folder.write("z.obs", "");
         return gzipped(
             OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 4096, false));
       },
       [&] { return gzipText(folder.read("z.obs").value_or("")); }, false},
  };
  const std::vector<MeasurementEpoch> epochs = randomEpochs(7);
  for (const Output& output : outputs) {
    for (const RinexDialect* dialect : {&rinex2Dialect, &rinex3Dialect}) {
      SCOPED_TRACE(std::string(output.name) +
                   (dialect == &rinex3Dialect ? ", RINEX 3" : ", RINEX 2"));
      ObservationWriter writer(output.open(), fieldsOf(*dialect, false, true));
      writer.writeHeader("060120", pinnedClock());
      for (const MeasurementEpoch& epoch : epochs) writer.writeEpoch(epoch);
      ASSERT_TRUE(writer.close());
      const std::string text = output.content();
      const ObservationFile file = readClean(text, output.name);
      ASSERT_EQ(file.epochs.size(), epochs.size());
      EXPECT_EQ(file.header.lastObservation.has_value(), output.rewritable);
      if (file.header.lastObservation) {
        EXPECT_EQ(file.header.lastObservation->day, 19);
        EXPECT_NEAR(file.header.lastObservation->second, epochs.back().time.second, 1e-7);
      }
      // Nothing but the placeholder changed: the same run without the
      // record differs by exactly that line.
      const std::string plain = written(fieldsOf(*dialect, false), epochs);
      const std::size_t at = text.find("TIME OF LAST OBS");
      EXPECT_EQ(at == std::string::npos ? text : text.substr(0, at - 60) + text.substr(at + 18),
                plain);
    }
  }
}

// The pinned clock that notes each reading: D for the date, T for the time.
struct CountingClock {
  std::string readings;
  LocalClock clock{[this] {
                     readings += 'D';
                     return pinnedClock().readDate();
                   },
                   [this] {
                     readings += 'T';
                     return pinnedClock().readTime();
                   }};
};

TEST(ObservationWriter, NextFileHasItsOwnHeaderAndTimes) {
  const std::vector<MeasurementEpoch> epochs = randomEpochs(6);
  std::string first;
  std::string second;
  CountingClock counting;
  ObservationWriter writer(OutputSink(first, 2, "first.obs", 4096),
                           fieldsOf(rinex3Dialect, true, true));
  writer.writeHeader("060120", counting.clock);
  for (std::size_t n = 0; n < 4; ++n) writer.writeEpoch(epochs[n]);
  EXPECT_EQ(writer.lastEpochTime()->second, epochs[3].time.second);
  writer.startNextFile(OutputSink(second, 2, "second.obs", 4096));
  EXPECT_EQ(writer.path(), "second.obs");
  EXPECT_TRUE(writer.headerOpen());
  EXPECT_FALSE(writer.firstEpochTime());
  EXPECT_FALSE(writer.lastEpochTime());
  for (std::size_t n = 4; n < 6; ++n) writer.writeEpoch(epochs[n]);
  EXPECT_EQ(writer.firstEpochTime()->minute, epochs[4].time.minute);
  EXPECT_EQ(writer.firstEpochTime()->second, epochs[4].time.second);
  ASSERT_TRUE(writer.close());
  EXPECT_EQ(counting.readings, "DTDT");

  const ObservationFile a = readClean(first, "first file");
  const ObservationFile b = readClean(second, "second file");
  EXPECT_EQ(a.header.labels, b.header.labels);
  ASSERT_EQ(a.epochs.size(), 4U);
  ASSERT_EQ(b.epochs.size(), 2U);
  EXPECT_NEAR(a.header.lastObservation->second, epochs[3].time.second, 1e-7);
  EXPECT_NEAR(b.header.firstObservation->second, epochs[4].time.second, 1e-7);
  EXPECT_NEAR(b.header.lastObservation->second, epochs[5].time.second, 1e-7);
}

TEST(ObservationWriter, FirstFileCanWaitForItsFirstEpoch) {
  const std::vector<MeasurementEpoch> epochs = randomEpochs(3);
  const HeaderFields fields = fieldsOf(rinex3Dialect, false, true);
  CountingClock counting;
  ObservationWriter writer(fields, 2);
  writer.writeHeader("060120", counting.clock);
  EXPECT_EQ(counting.readings, "");
  EXPECT_TRUE(writer.flushQuietly());
  EXPECT_EQ(writer.path(), "");
  EXPECT_EQ(writer.unit(), 2);
  std::string file;
  writer.startNextFile(OutputSink(file, 2, "z.obs", 4096));
  for (const MeasurementEpoch& epoch : epochs) writer.writeEpoch(epoch);
  ASSERT_TRUE(writer.close());
  EXPECT_EQ(counting.readings, "DT");
  EXPECT_EQ(file, written(fields, epochs));
}

// An encoding in place of the plain text: a line of its own in front of
// each file's header, and one line per epoch. Notes where each file starts.
class MarkingEncoder final : public EpochEncoder {
 public:
  explicit MarkingEncoder(std::string& starts) : starts_(starts) {}
  void startFile(OutputSink& file) override {
    starts_ += std::to_string(file.position()) + ' ';
    file.write("ENCODED\r\n");
  }
  void writeEpoch(OutputSink& file, const MeasurementEpoch& epoch) override {
    file.write("epoch of " + std::to_string(epoch.channelCount) + "\r\n");
  }

 private:
  std::string& starts_;
};

// The plain file's header, from the first line to END OF HEADER.
std::string headerOf(const std::string& file) {
  const std::string_view end = "END OF HEADER\r\n";
  return file.substr(0, file.find(end) + end.size());
}

TEST(ObservationWriter, EncoderWritesEachFilesEpochsAfterItsHeader) {
  const std::vector<MeasurementEpoch> epochs = randomEpochs(3);
  const HeaderFields fields = fieldsOf(rinex3Dialect, false, true);
  std::string first;
  std::string second;
  std::string starts;
  ObservationWriter writer(OutputSink(first, 2, "first.obs", 4096), fields,
                           std::make_unique<MarkingEncoder>(starts));
  writer.writeHeader("060120", pinnedClock());
  writer.writeEpoch(epochs[0]);
  writer.writeEpoch(epochs[1]);
  writer.startNextFile(OutputSink(second, 2, "second.obs", 4096));
  writer.writeEpoch(epochs[2]);
  ASSERT_TRUE(writer.close());
  EXPECT_EQ(starts, "0 0 ");
  // TIME OF LAST OBS is filled in where the header stands after the lead.
  const auto epochLine = [&](std::size_t n) {
    return "epoch of " + std::to_string(epochs[n].channelCount) + "\r\n";
  };
  EXPECT_EQ(first, "ENCODED\r\n" + headerOf(written(fields, {epochs[0], epochs[1]})) +
                       epochLine(0) + epochLine(1));
  EXPECT_EQ(second, "ENCODED\r\n" + headerOf(written(fields, {epochs[2]})) + epochLine(2));
}

TEST(ObservationWriter, NextFileStopsTheRunWhenTheLastOneLostItsLines) {
  // A file opened for reading refuses every write, on any system.
  const testing::ScratchFolder folder;
  folder.write("z.obs", "");
  const std::string path = (folder.path() / "z.obs").string();
  std::string next;
  ObservationWriter writer(
      OutputSink(FileHandle(platform::openForReading(path).handle), 2, path, 4096, false),
      fieldsOf(rinex3Dialect, false));
  writer.writeHeader("060120", pinnedClock());
  try {
    writer.startNextFile(OutputSink(next, 2, "next.obs", 4096));
    ADD_FAILURE() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.line(), "kapolex: severe (38): error during write, unit 2, file " + path);
  }
  EXPECT_TRUE(next.empty());
}

}  // namespace
}  // namespace kapolex
