// The figures of a quality check, as the text and JSON reports and the
// tracking plot show them. Counts are exact; times are GPS week and seconds
// of week together with the GPS calendar date and time the observation file
// would print for them.
#pragma once

#include <cstdint>
#include <vector>

#include "common/epoch_time.hpp"
#include "measure/gps_time.hpp"
#include "qc/tracking_bins.hpp"

namespace kapolex {

struct ReportTime {
  GpsTime gps;
  EpochTime calendar;
};

struct MessageTally {
  int id = 0;
  std::int64_t count = 0;
};

struct LogFigures {
  bool hasEpochs = false;
  ReportTime first;  // first and last usable receive time
  ReportTime last;
  std::int64_t interval = 0;  // ns, the most common step; 0 with fewer than two epochs
  std::int64_t epochs = 0;    // usable measurement messages
  // Epochs present (less repeated and backward times) plus those missing.
  std::int64_t expectedEpochs = 0;
  std::int64_t gaps = 0;       // steps over 1.5 intervals
  std::int64_t gapEpochs = 0;  // epochs missing in them
  std::int64_t longestGapEpochs = 0;
  ReportTime longestGapStart;  // its first missing epoch (earliest of equals)
  std::int64_t repeatedTimes = 0;
  std::int64_t backwardTimes = 0;
  std::int64_t weekRollovers = 0;
  std::int64_t unusableTimes = 0;
  std::int64_t epochsWritten = 0;
  // Steps between epochs that found no room in the log's histogram and
  // were classified against the interval as it stood when they came: 0 in
  // any sound log.
  std::int64_t unlistedSteps = 0;
  std::int64_t channelRecords = 0;
  double meanSatellites = 0.0;         // channel records per epoch
  std::vector<MessageTally> messages;  // IDs with at least one message, in ID order
};

struct SatelliteFigures {
  int prn = 0;
  std::int64_t epochs = 0;
  double spanShare = 0.0;  // epochs / expected epochs of the log
  std::int64_t arcs = 0;
  ReportTime first;
  ReportTime last;
  std::int64_t lossOfLock = 0;  // records with the loss-of-lock flag set
  double carrierToNoiseMean = 0.0;
  double carrierToNoiseMin = 0.0;
  double carrierToNoiseMax = 0.0;
  std::int64_t rollovers = 0;
  std::int64_t slips = 0;
  double jumpNoise = 0.0;      // m, standard deviation of the code-minus-carrier jumps
  double slipThreshold = 0.0;  // m
};

struct SuspectedSlip {
  int prn = 0;
  ReportTime at;
  double jump = 0.0;  // m, code minus carrier
};

struct QualityReport {
  LogFigures log;
  std::vector<SatelliteFigures> satellites;  // PRNs seen, in PRN order
  std::int64_t slips = 0;                    // suspected slips of all satellites
  std::vector<SuspectedSlip> listedSlips;    // the first ones, in time order
  TrackingPlotData plot;
};

}  // namespace kapolex
