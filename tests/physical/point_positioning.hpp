// Single-epoch positioning from pseudoranges, the way a navigation program
// would do it: satellites at their transmit times, Earth rotation during the
// flight, and least squares for the receiver position and clock offset. The
// satellites come from the simulator's constellation, so the solution can be
// compared with the simulator's receiver.
#pragma once

#include <optional>
#include <vector>

#include "physical/rinex_observation_reader.hpp"
#include "zlogsim/gps_model.hpp"

namespace kapolex::physical {

// The GPS week and seconds of week of a date and time given in GPS time.
zlogsim::GpsTime gpsTimeOf(const CalendarTime& t);

struct PseudorangeObservation {
  int prn = 0;
  double pseudorange = 0.0;  // m
};

struct PointSolution {
  zlogsim::Vec3 position;
  double clockOffset = 0.0;       // s, receiver clock reading minus GPS time
  std::vector<double> residuals;  // m, measured minus modelled, per observation
  // Position dilution of precision: position error over pseudorange error.
  double positionDop = 0.0;
};

// The satellite at the GPS time it sent the signal, in the Earth-fixed axes
// of the moment the signal arrived travelTime seconds later.
zlogsim::Vec3 satelliteAtReception(const zlogsim::Constellation& sky, int prn,
                                   zlogsim::GpsTime transmitTime, double travelTime);

// Least-squares position and clock for pseudoranges measured at a receiver
// clock reading. Starts from the Earth's centre, so nothing about the answer
// is assumed. Nothing when fewer than four satellites are given or the
// iteration does not settle.
std::optional<PointSolution> solvePointPosition(
    const zlogsim::Constellation& sky, zlogsim::GpsTime reading,
    const std::vector<PseudorangeObservation>& observed);

}  // namespace kapolex::physical
