// The Compact RINEX encoder against the stored vectors: each pair's RINEX
// file is read back into epoch records, encoded, and compared with what the
// reference compressor wrote for it, byte for byte but for line 2. The
// cases it refuses are compared through the test decoder with the RINEX
// file as the documented change has it.
#include "rinex/compact_rinex_encoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rinex/field_editing.hpp"
#include "rinex/observation_writer.hpp"
#include "support/compact_rinex_decoder.hpp"
#include "support/version_agreement.hpp"

namespace kapolex {
namespace {

const std::filesystem::path vectorFolder = KAPOLEX_CRINEX_VECTORS;
constexpr std::string_view endOfHeaderLine =
    "                                                            END OF HEADER\n";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// 2026-12-10 05:33:59 UTC.
const UtcClock& pinnedUtc() {
  static const UtcClock clock{[] { return std::int64_t{1796880839}; }};
  return clock;
}

// The lines up to END OF HEADER, or all of a file that has none.
std::string headerOf(const std::string& rinex) {
  const std::size_t end = rinex.find("END OF HEADER");
  return end == std::string::npos ? rinex : rinex.substr(0, rinex.find('\n', end) + 1);
}

// A value the reader could not take is the asterisks of one too wide.
double valueOf(const physical::Observation& observation) {
  return observation.value.value_or(1e12);
}

// The epochs of a RINEX file as the converter had them.
std::vector<MeasurementEpoch> epochsOf(const physical::ObservationFile& file) {
  const bool rinex3 = file.header.majorVersion == 3;
  std::vector<MeasurementEpoch> epochs;
  for (const physical::ObservationEpoch& read : file.epochs) {
    MeasurementEpoch& epoch = epochs.emplace_back();
    epoch.time = {read.time.year, read.time.month,  read.time.day,
                  read.time.hour, read.time.minute, read.time.second};
    epoch.channelCount = static_cast<std::int32_t>(read.satellites.size());
    for (std::size_t s = 0; s < read.satellites.size(); ++s) {
      const std::vector<physical::Observation>& obs = read.observations[s];
      ChannelMeasurement& channel = epoch.channels[s];
      channel.prn = std::stoi(read.satellites[s].substr(1));
      const physical::Observation& phase = obs[rinex3 ? 1 : 0];
      channel.carrierPhase = valueOf(phase);
      channel.pseudorange = valueOf(obs[rinex3 ? 0 : 1]);
      if (obs.size() > 2) channel.carrierToNoise = valueOf(obs[2]);
      channel.lossOfLock =
          rinex3 ? (phase.lossOfLock == 1 ? lossOfLockSet : lossOfLockClear) : phase.lossOfLock;
      channel.signalFlag = phase.signalStrength;
    }
  }
  return epochs;
}

struct Encoded {
  std::string crinex;
  CompactRinexTally tally;
};

// Encodes a RINEX file's header and epochs as the observation writer feeds
// the encoder.
Encoded encodeFile(const std::string& rinex) {
  const physical::ReadResult read = physical::readObservationFile(rinex);
  const bool rinex3 = read.file.header.majorVersion == 3;
  const bool withSnr = read.file.header.observationTypes.size() == 3;
  Encoded encoded;
  {
    OutputSink sink(encoded.crinex, 2, "z.crx", std::size_t{1} << 16);
    const std::unique_ptr<EpochEncoder> encoder =
        compactRinexEncoder(rinex3 ? rinex3Dialect : rinex2Dialect, withSnr, "kapolex 1.1.0",
                            pinnedUtc(), encoded.tally);
    encoder->startFile(sink);
    const std::string header = headerOf(rinex);
    encoder->writeHeaderLines(sink, header, 0);
    if (header.size() == rinex.size() && read.file.epochs.empty()) encoder->closeEmptyHeader(sink);
    for (const MeasurementEpoch& epoch : epochsOf(read.file)) encoder->writeEpoch(sink, epoch);
    sink.flush();
  }
  return encoded;
}

std::string withoutLine2(const std::string& text) {
  const std::size_t first = text.find('\n');
  const std::size_t second = text.find('\n', first + 1);
  return text.substr(0, first + 1) + text.substr(second + 1);
}

// How a pair's output relates to the reference's.
enum class Expect { sameBytes, endOfHeaderAdded, asterisksBlank };

struct VectorCase {
  const char* name;
  const char* rinexExtension;
  Expect expect;
};

const VectorCase vectorCases[] = {
    {"r2-5s", ".obs", Expect::sameBytes},
    {"r2-1s-snr-weekend", ".obs", Expect::sameBytes},
    {"r3-5s-snr", ".rnx", Expect::sameBytes},
    {"r3-1s-weekend", ".rnx", Expect::sameBytes},
    {"r2-1s-snr-impaired", ".obs", Expect::sameBytes},
    {"r3-1s-impaired", ".rnx", Expect::sameBytes},
    {"r2-30s-riseset", ".obs", Expect::sameBytes},
    {"r2-5s-manysats", ".obs", Expect::sameBytes},
    {"r3-5s-manysats", ".rnx", Expect::sameBytes},
    {"r2-5s-jumps", ".obs", Expect::sameBytes},
    {"r2-header-only", ".obs", Expect::endOfHeaderAdded},
    {"r3-header-only", ".rnx", Expect::endOfHeaderAdded},
    {"r2-5s-overflow", ".obs", Expect::asterisksBlank},
};

// The RINEX 2 file with every asterisk field blank, its flags with it.
std::string asterisksBlanked(std::string rinex) {
  const std::string asterisks(14, '*');
  for (std::size_t at = rinex.find(asterisks); at != std::string::npos;
       at = rinex.find(asterisks, at)) {
    rinex.replace(at, 16, std::string(16, ' '));
  }
  return rinex;
}

class CompactRinexVectors : public ::testing::TestWithParam<VectorCase> {};

TEST_P(CompactRinexVectors, EqualTheReferenceButForLine2) {
  if (!std::filesystem::is_directory(vectorFolder)) {
    GTEST_SKIP() << "no Compact RINEX vectors beside the repository (" << vectorFolder.string()
                 << ")";
  }
  const VectorCase& c = GetParam();
  const std::string rinex = readFile(vectorFolder / (std::string(c.name) + c.rinexExtension));
  const std::string reference = readFile(vectorFolder / (std::string(c.name) + ".crx"));
  const Encoded encoded = encodeFile(rinex);
  const testing::DecodedCompactRinex decoded = testing::decodeCompactRinex(encoded.crinex);
  EXPECT_EQ(decoded.problem, "");
  switch (c.expect) {
    case Expect::sameBytes:
      EXPECT_EQ(withoutLine2(encoded.crinex), withoutLine2(reference));
      EXPECT_EQ(decoded.rinex, testing::restoredLines(rinex));
      EXPECT_EQ(encoded.tally.blankedValues, 0);
      break;
    case Expect::endOfHeaderAdded:
      EXPECT_EQ(withoutLine2(encoded.crinex),
                withoutLine2(reference) + std::string(endOfHeaderLine));
      EXPECT_EQ(encoded.tally.headerOnlyFiles, 1);
      break;
    case Expect::asterisksBlank:
      EXPECT_EQ(decoded.rinex, testing::restoredLines(asterisksBlanked(rinex)));
      EXPECT_EQ(encoded.tally.blankedValues, 12);
      break;
  }
  EXPECT_EQ(encoded.crinex.find('\r'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Pairs, CompactRinexVectors, ::testing::ValuesIn(vectorCases),
                         [](const auto& param) {
                           std::string name = param.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

TEST(CompactRinexEncoder, Line2NamesTheProgramAndTheUtcDate) {
  struct Case {
    std::int64_t utc;
    const char* date;
  };
  for (const Case& c : {Case{1796880839, "10-Dec-26 05:33"}, Case{920243100, "28-Feb-99 23:05"},
                        Case{951782400, "29-Feb-00 00:00"}, Case{0, "01-Jan-70 00:00"}}) {
    const UtcClock clock{[&] { return c.utc; }};
    CompactRinexTally tally;
    std::string out;
    {
      OutputSink sink(out, 2, "z.crx", 4096);
      compactRinexEncoder(rinex2Dialect, false, "kapolex 1.1.0", clock, tally)->startFile(sink);
      sink.flush();
    }
    EXPECT_EQ(out.substr(out.find('\n') + 1), "kapolex 1.1.0                           " +
                                                  std::string(c.date) +
                                                  "     CRINEX PROG / DATE\n");
  }
}

// The thousandths are the digits the F14.3 editor prints, and nothing when
// it prints asterisks.
TEST(CompactRinexEncoder, ThousandthsAreTheFieldsDigits) {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.0005,
                                0.0015,
                                -0.0005,
                                2.5e-4,
                                1e-300,
                                9999999999.999,
                                9999999999.9995,
                                -999999999.999,
                                -999999999.9995,
                                1e10,
                                -1e9,
                                20566416.349,
                                -76636.23,
                                std::nan(""),
                                std::numeric_limits<double>::infinity(),
                                4.5e15};
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> exponent(-5.0, 10.5);
  for (int i = 0; i < 20000; ++i) {
    const double v = std::pow(10.0, exponent(random));
    values.push_back(i % 2 == 0 ? v : -v);
  }
  for (const double value : values) {
    char field[14];
    editFixed(field, 14, 3, value);
    const std::string text(field, 14);
    const std::optional<std::int64_t> thousandths = fixedThousandths(value);
    if (text[0] == '*') {
      EXPECT_FALSE(thousandths) << value;
      continue;
    }
    std::string digits = text;
    digits.erase(digits.find('.'), 1);
    ASSERT_TRUE(thousandths) << value;
    EXPECT_EQ(*thousandths, std::stoll(digits)) << text;
  }
}

}  // namespace
}  // namespace kapolex

namespace kapolex {
namespace {

const LocalClock& pinnedLocalClock() {
  static const LocalClock clock{[] {
                                  return LocalDate{2006, 1, 20};
                                },
                                [] {
                                  return LocalTimeOfDay{9, 5, 7};
                                }};
  return clock;
}

// Two epochs of G10 and G30 through the observation writer, in plain text
// and in Compact RINEX; in the second, G10's phase is too wide for F14.3
// and G30 is listed twice (the second listing with other values).
struct WrittenPair {
  std::string plain;
  std::string compact;
  CompactRinexTally tally;
};

WrittenPair writeWithFaults(const RinexDialect& dialect) {
  HeaderFields fields;
  fields.dialect = &dialect;
  fields.withSnr = true;
  fields.withLastObservation = true;
  WrittenPair written;
  const UtcClock utc{[] { return std::int64_t{1796880839}; }};
  auto epoch = std::make_unique<MeasurementEpoch>();
  epoch->time = {2006, 1, 1, 0, 0, 0.0};
  epoch->channelCount = 2;
  epoch->channels[0] = {10, 880471.488, 20566416.349, lossOfLockSet, 7, 49.5, 0};
  epoch->channels[1] = {30, 492501.848, 20615933.165, lossOfLockClear, 6, 46.75, 0};
  auto second = std::make_unique<MeasurementEpoch>(*epoch);
  second->time.second = 5.0;
  second->channelCount = 3;
  second->channels[0].carrierPhase = -2e9;
  second->channels[2] = {30, 1.0, 2.0, lossOfLockSet, 1, 3.0, 0};
  {
    ObservationWriter plain(OutputSink(written.plain, 2, "z.obs", 4096), fields);
    ObservationWriter compact(OutputSink(written.compact, 2, "z.crx", 4096), fields,
                              compactRinexEncoder(dialect, true, "kapolex", utc, written.tally));
    for (ObservationWriter* writer : {&plain, &compact}) {
      writer->writeHeader("060120", pinnedLocalClock());
      writer->writeEpoch(*epoch);
    }
    second->channelCount = 2;  // the plain file of what Compact RINEX keeps
    plain.writeEpoch(*second);
    second->channelCount = 3;
    compact.writeEpoch(*second);
    EXPECT_TRUE(plain.close());
    EXPECT_TRUE(compact.close());
  }
  return written;
}

// A value printed as asterisks becomes a blank field (in RINEX 2 its flags
// with it, as a blank RINEX 2 value carries none); a satellite listed again
// in an epoch is left out; each is counted.
TEST(CompactRinexEncoder, WritesWhatTheFormatCannotHoldAsDocumented) {
  struct Case {
    const RinexDialect& dialect;
    const char* plainLine;    // G10's line in the second epoch
    const char* decodedLine;  // the same restored from Compact RINEX
  };
  const Case cases[] = {
      {rinex2Dialect, "**************57  20566416.349          49.500",
       "                  20566416.349          49.500"},
      {rinex3Dialect, "G10  20566416.349  **************17        49.500",
       "G10  20566416.349                17        49.500"},
  };
  for (const Case& c : cases) {
    const WrittenPair written = writeWithFaults(c.dialect);
    EXPECT_EQ(written.tally.blankedValues, 1);
    EXPECT_EQ(written.tally.repeatedSatellites, 1);
    const testing::DecodedCompactRinex decoded = testing::decodeCompactRinex(written.compact);
    ASSERT_EQ(decoded.problem, "");
    std::string expected = testing::restoredLines(written.plain);
    const std::size_t at = expected.find(c.plainLine);
    ASSERT_NE(at, std::string::npos) << written.plain;
    expected.replace(at, std::string_view(c.plainLine).size(), c.decodedLine);
    EXPECT_EQ(decoded.rinex, expected);
  }
}

}  // namespace
}  // namespace kapolex
