#include "rinex/epoch_record.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture.hpp"
#include "rinex/observation_writer.hpp"

namespace kapolex {
namespace {

MeasurementEpoch satellites(std::vector<std::int32_t> prns, const EpochTime& time = {}) {
  MeasurementEpoch epoch;
  epoch.time = time;
  epoch.channelCount = static_cast<std::int32_t>(prns.size());
  for (std::size_t k = 0; k < prns.size(); ++k) {
    epoch.channels[k].prn = prns[k];
    epoch.channels[k].carrierPhase = static_cast<double>(k) + 0.5;
    epoch.channels[k].pseudorange = 20000000.0 + static_cast<double>(k);
    epoch.channels[k].lossOfLock = 4;
    epoch.channels[k].signalFlag = 5;
  }
  return epoch;
}

std::string epochBlock(const EpochTime& time, MeasurementEpoch epoch) {
  epoch.time = time;
  return testing::capture(
      [&](OutputSink& obs) { rinex2Dialect.epochRecords.withoutSnr(obs, epoch); });
}

std::string rinex3Block(const EpochTime& time, MeasurementEpoch epoch, bool withSnr = false) {
  epoch.time = time;
  return testing::capture(
      [&](OutputSink& obs) { rinex3Dialect.epochRecords.writerFor(withSnr)(obs, epoch); });
}

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find("\r\n"));
}

TEST(EpochRecord, EpochLine) {
  struct Case {
    EpochTime time;
    std::vector<std::int32_t> prns;
    const char* expected;
  };
  const Case cases[] = {
      {{2006, 1, 1, 0, 0, 0.0}, {5, 12, 7}, "  6  1  1  0  0  0.0000000  0  3G 5G12G 7"},
      {{2006, 1, 1, 0, 0, 0.0}, {}, "  6  1  1  0  0  0.0000000  0  0"},
      {{2006, 12, 31, 23, 59, 55.0000001},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       "  6 12 31 23 59 55.0000001  0 12G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12"},
      {{2006, 1, 1, 0, 1, 3.0e-8}, {}, "  6  1  1  0  1  0.0000000  0  0"},
      // 59.99999995 is stored as 59.99999995000000297: just above the midpoint.
      {{2006, 1, 1, 0, 0, 59.99999995}, {}, "  6  1  1  0  0 60.0000000  0  0"},
      {{2006, 1, 1, 0, 0, 59.99999994999999}, {}, "  6  1  1  0  0 59.9999999  0  0"},
      {{2010, 6, 15, 12, 30, 45.0}, {}, " 10  6 15 12 30 45.0000000  0  0"},
      {{2000, 6, 15, 12, 30, 45.0}, {}, "  0  6 15 12 30 45.0000000  0  0"},
  };
  for (const Case& c : cases) {
    const std::string block = epochBlock(c.time, satellites(c.prns));
    EXPECT_EQ(firstLine(block), c.expected);
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), std::ssize(c.prns) + 1);
  }
}

TEST(EpochRecord, ObservationLines) {
  MeasurementEpoch epoch = satellites({3, 17});
  epoch.channels[0] = {3, 1234567.5, 20123456.789, 4, 7};
  epoch.channels[1] = {17, -5.25, 0.0, 5, 1};
  EXPECT_EQ(epochBlock({2006, 1, 1, 0, 0, 0.0}, epoch),
            "  6  1  1  0  0  0.0000000  0  2G 3G17\r\n"
            "   1234567.50047  20123456.789\r\n"
            "        -5.25051         0.000\r\n");
}

TEST(EpochRecord, Rinex3EpochRecordCountsEverySatellite) {
  struct Case {
    EpochTime time;
    std::size_t satellites;
    const char* expected;
  };
  const Case cases[] = {
      {{2006, 1, 1, 0, 0, 0.0}, 3, "> 2006 01 01 00 00  0.0000000  0  3"},
      {{2006, 1, 1, 0, 0, 0.0}, 0, "> 2006 01 01 00 00  0.0000000  0  0"},
      {{2006, 12, 31, 23, 59, 55.0000001}, 12, "> 2006 12 31 23 59 55.0000001  0 12"},
      {{2006, 1, 1, 0, 1, 3.0e-8}, 13, "> 2006 01 01 00 01  0.0000000  0 13"},
      {{2006, 1, 1, 0, 0, 59.99999995}, 1, "> 2006 01 01 00 00 60.0000000  0  1"},
      {{2000, 6, 15, 12, 30, 45.0}, 32, "> 2000 06 15 12 30 45.0000000  0 32"},
      {{2010, 6, 15, 12, 30, 45.0}, 255, "> 2010 06 15 12 30 45.0000000  0255"},
  };
  for (const Case& c : cases) {
    std::vector<std::int32_t> prns;
    for (std::size_t k = 0; k < c.satellites; ++k) prns.push_back(static_cast<int>(k % 32) + 1);
    const std::string block = rinex3Block(c.time, satellites(prns));
    EXPECT_EQ(firstLine(block), c.expected);
    // One record per satellite and nothing else: no continuation lines.
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), std::ssize(prns) + 1);
    EXPECT_EQ(std::count(block.begin(), block.end(), '>'), 1);
  }
}

TEST(EpochRecord, Rinex3ObservationRecordsLeadWithTheSatellite) {
  MeasurementEpoch epoch = satellites({3, 17});
  epoch.channels[0] = {3, 1234567.5, 20123456.789, 4, 7, 44.25};
  epoch.channels[1] = {17, -5.25, 0.0, 5, 1, 0.0};
  const std::string epochRecord = "> 2006 01 01 00 00  0.0000000  0  2\r\n";
  EXPECT_EQ(rinex3Block({2006, 1, 1, 0, 0, 0.0}, epoch),
            epochRecord +
                "G03  20123456.789     1234567.50007\r\n"
                "G17         0.000          -5.25011\r\n");
  EXPECT_EQ(rinex3Block({2006, 1, 1, 0, 0, 0.0}, epoch, true),
            epochRecord +
                "G03  20123456.789     1234567.50007        44.250\r\n"
                "G17         0.000          -5.25011         0.000\r\n");
}

TEST(ObservationWriter, FirstEpochClosesTheHeaderOnce) {
  const MeasurementEpoch epoch = satellites({}, {2006, 1, 20, 9, 5, 10.0});
  std::string written;
  ObservationWriter writer(OutputSink(written, 2, "z.obs", 4096));
  EXPECT_FALSE(writer.headerOpen());
  writer.writeHeader("060120", LocalClock{[] {
                                            return LocalDate{2006, 1, 20};
                                          },
                                          [] {
                                            return LocalTimeOfDay{9, 5, 7};
                                          }});
  EXPECT_TRUE(writer.headerOpen());
  writer.flush();
  const std::size_t headerSize = written.size();
  writer.writeEpoch(epoch);
  EXPECT_FALSE(writer.headerOpen());
  writer.writeEpoch(epoch);
  writer.flush();
  EXPECT_EQ(written.substr(headerSize),
            "  2006    01    20    09    05   10.0000000     GPS         TIME OF FIRST OBS\r\n" +
                std::string(60, ' ') + "END OF HEADER\r\n" +
                "  6  1 20  9  5 10.0000000  0  0\r\n" + "  6  1 20  9  5 10.0000000  0  0\r\n");
}

TEST(EpochRecord, MoreThanTwelveSatellitesContinueBelowTheList) {
  std::vector<std::int32_t> prns;
  for (int prn = 1; prn <= 25; ++prn) prns.push_back(prn);
  const std::string indent(32, ' ');

  std::string block =
      epochBlock({2006, 1, 1, 0, 0, 0.0}, satellites({prns.begin(), prns.begin() + 13}));
  EXPECT_EQ(block.substr(0, block.find("\r\n", 70) + 2),
            "  6  1  1  0  0  0.0000000  0 13G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12\r\n" + indent +
                "G13\r\n");
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 2 + 13);

  block = epochBlock({2006, 1, 1, 0, 0, 0.0}, satellites(prns));
  EXPECT_EQ(block.substr(0, block.find("G25\r\n") + 5),
            "  6  1  1  0  0  0.0000000  0 25G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12\r\n" + indent +
                "G13G14G15G16G17G18G19G20G21G22G23G24\r\n" + indent + "G25\r\n");
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 3 + 25);
  EXPECT_NE(block.find("\r\n        24.50045  20000024.000\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kapolex
