// Each dialect's rules side by side: what its files require, the station
// ids it takes and the message for the others, its names, the header lines
// of its own, and the epoch writer it picks for the observation types.
#include "rinex/dialect.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.hpp"
#include "rinex/header_texts.hpp"

namespace kapolex {
namespace {

std::vector<std::string_view> labelsOf(std::span<const HeaderLineText> lines) {
  std::vector<std::string_view> labels;
  for (const HeaderLineText& line : lines) labels.push_back(line.label);
  return labels;
}

TEST(Dialect, EachVersionCarriesItsRules) {
  struct Case {
    const char* name;
    const RinexDialect* dialect;
    bool lastObservationRequired;
    bool takesNineCharacterIds;
    const char* stationHint;
    const char* dailyName;  // PIL7, 2006-01-18, 30 s
    std::vector<std::string_view> typeLabels;
    std::vector<std::string_view> typeLabelsWithSnr;
    std::vector<std::string_view> closingLabels;
  };
  const Case cases[] = {
      {"RINEX 2.10",
       &rinex2Dialect,
       false,
       false,
       "give 4 letters or digits (9 characters need '--rinex-version 3')",
       "pil70180.06o",
       {wavelengthLabel, observationTypesLabel},
       {wavelengthLabel, observationTypesLabel},
       {}},
      {"RINEX 3.04",
       &rinex3Dialect,
       true,
       true,
       "give 4 letters or digits, or 9 characters: 4 letters or digits, 2 digits and 3 letters",
       "PIL700XXX_R_20060180000_01D_30S_GO.rnx",
       {systemObservationTypesLabel},
       {systemObservationTypesLabel, signalStrengthUnitLabel},
       {phaseShiftLabel}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RinexDialect& dialect = *c.dialect;
    EXPECT_EQ(dialect.lastObservationRequired, c.lastObservationRequired);
    EXPECT_TRUE(dialect.names.isStationId("PIL7"));
    EXPECT_EQ(dialect.names.isStationId("PIL700DEU"), c.takesNineCharacterIds);
    EXPECT_EQ(dialect.names.stationHint, c.stationHint);
    EXPECT_EQ(dialect.names.fileName("PIL7", {2006, 1, 18, 0, 0, 0.0}, dailyPeriod, 30),
              c.dailyName);
    EXPECT_TRUE(dialect.header.versionTypeContent.starts_with(std::string(5, ' ') +
                                                              std::string(c.name).substr(6)));
    EXPECT_EQ(labelsOf(dialect.header.observationTypeLines), c.typeLabels);
    EXPECT_EQ(labelsOf(dialect.header.observationTypeLinesWithSnr), c.typeLabelsWithSnr);
    EXPECT_EQ(labelsOf(dialect.header.closingLines), c.closingLabels);
  }
}

// The writer each dialect picks for the observation types, on an epoch of
// one channel: the epoch line, then the channel's line in that writer's
// layout.
TEST(Dialect, EpochWriterFollowsTheObservationTypes) {
  struct Case {
    const RinexDialect* dialect;
    bool withSnr;
    const char* expected;
  };
  const Case cases[] = {
      {&rinex2Dialect, false,
       "  6  1 20  9  5 10.0000000  0  1G 3\r\n"
       "   1234567.50047  20123456.789\r\n"},
      {&rinex2Dialect, true,
       "  6  1 20  9  5 10.0000000  0  1G 3\r\n"
       "   1234567.50047  20123456.789          44.250\r\n"},
      {&rinex3Dialect, false,
       "> 2006 01 20 09 05 10.0000000  0  1\r\n"
       "G03  20123456.789     1234567.50007\r\n"},
      {&rinex3Dialect, true,
       "> 2006 01 20 09 05 10.0000000  0  1\r\n"
       "G03  20123456.789     1234567.50007        44.250\r\n"},
  };
  MeasurementEpoch epoch;
  epoch.time = {2006, 1, 20, 9, 5, 10.0};
  epoch.channelCount = 1;
  epoch.channels[0] = {3, 1234567.5, 20123456.789, 4, 7, 44.25};
  for (const Case& c : cases) {
    const EpochRecordWriter write = c.dialect->epochRecords.writerFor(c.withSnr);
    EXPECT_EQ(testing::capture([&](OutputSink& obs) { write(obs, epoch); }), c.expected);
  }
}

}  // namespace
}  // namespace kapolex
