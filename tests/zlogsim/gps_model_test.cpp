// Orbits, time arithmetic, clock and light time of the simulator's truth model.
#include "zlogsim/gps_model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace zlogsim {
namespace {

constexpr double degree = pi / 180.0;
const GpsTime reference{1356, 0.0};

// Inertial coordinates (axes of the Earth-fixed frame at the reference epoch)
// of an Earth-fixed vector at t seconds after it.
Vec3 inertial(const Vec3& ecef, double t) {
  return rotateZ(ecef, earthRotationRate * t);
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

TEST(Orbit, RadiusStaysWithinApsidesAndInertialPositionRepeatsAfterOnePeriod) {
  const Constellation sky = Constellation::nominal(reference);
  for (const OrbitElements& e : sky.elements()) {
    const double period = orbitalPeriod(e);
    EXPECT_NEAR(period, 43082.0, 10.0) << "half a sidereal day, PRN " << e.prn;
    for (double t = 0.0; t < period; t += period / 17.0) {
      const double r = norm(sky.position(e.prn, addSeconds(reference, t)));
      EXPECT_GE(r, e.semiMajorAxis * (1.0 - e.eccentricity) - 1e-3);
      EXPECT_LE(r, e.semiMajorAxis * (1.0 + e.eccentricity) + 1e-3);
      const Vec3 now = inertial(sky.position(e.prn, addSeconds(reference, t)), t);
      const Vec3 later =
          inertial(sky.position(e.prn, addSeconds(reference, t + period)), t + period);
      EXPECT_LT(norm(later - now), 1e-3) << "PRN " << e.prn << " t " << t;
    }
  }
}

TEST(Orbit, NominalConstellationHasEveryPrnInSixPlanesAt55Degrees) {
  const Constellation sky = Constellation::nominal(reference);
  std::set<int> prns;
  std::set<long> nodeLongitudes;
  for (const OrbitElements& e : sky.elements()) {
    prns.insert(e.prn);
    const Vec3 a = inertial(sky.position(e.prn, reference), 0.0);
    const Vec3 b = inertial(sky.position(e.prn, addSeconds(reference, 3000.0)), 3000.0);
    const Vec3 n = cross(a, b);
    EXPECT_NEAR(std::acos(n.z / norm(n)) / degree, 55.0, 1e-6) << "PRN " << e.prn;
    // The ascending node lies 90 degrees behind the orbit normal's azimuth.
    const double node = std::atan2(n.y, n.x) / degree + 90.0;
    nodeLongitudes.insert(std::lround(std::fmod(node + 720.0, 360.0)));
  }
  EXPECT_EQ(prns.size(), 32U);
  EXPECT_EQ(*prns.begin(), 1);
  EXPECT_EQ(*prns.rbegin(), 32);
  ASSERT_EQ(nodeLongitudes.size(), 6U);
  long previous = *nodeLongitudes.begin() - 60;
  for (long node : nodeLongitudes) {
    EXPECT_EQ(node - previous, 60);
    previous = node;
  }
}

TEST(Time, AddSecondsCarriesWeeksBothWays) {
  struct Case {
    GpsTime t;
    double add;
    GpsTime expected;
  };
  const Case cases[] = {
      {{1356, 604799.5}, 0.5, {1357, 0.0}},
      {{1356, 604500.0}, 400.25, {1357, 100.25}},
      {{1356, 10.0}, -20.0, {1355, 604790.0}},
      {{1356, 0.0}, 3.0 * secondsPerWeek + 7.0, {1359, 7.0}},
      {{1356, 0.0}, -1e-6, {1355, secondsPerWeek - 1e-6}},
      {{1356, 0.0}, -1e-12, {1356, 0.0}},  // 604800 - 1e-12 rounds to 604800: next week
  };
  for (const Case& c : cases) {
    const GpsTime r = addSeconds(c.t, c.add);
    EXPECT_EQ(r.week, c.expected.week) << c.t.seconds << " + " << c.add;
    EXPECT_NEAR(r.seconds, c.expected.seconds, 1e-9) << c.t.seconds << " + " << c.add;
    EXPECT_GE(r.seconds, 0.0);
    EXPECT_LT(r.seconds, secondsPerWeek);
    EXPECT_NEAR(secondsBetween(r, c.t), c.add, 1e-9);
  }
}

TEST(Clock, TrueTimeOfAReadingIsTheInverseOfTheOffset) {
  const ReceiverClock clock{{1356, 604790.0}, 3e-4, 5e-9};
  for (double after : {0.0, 9.9997, 10.5, 86400.0}) {
    const GpsTime reading = addSeconds(clock.epoch, after);
    const GpsTime t = clock.trueTimeOf(reading);
    EXPECT_NEAR(secondsBetween(reading, t), clock.offsetAt(t), 1e-9) << after;
    EXPECT_NEAR(clock.offsetAt(t), 3e-4 + 5e-9 * (after - 3e-4), 1e-11) << after;
  }
}

TEST(Geometry, LocalUpIsTheEllipsoidNormal) {
  const double e2 = wgs84Flattening * (2.0 - wgs84Flattening);
  for (double latDeg : {-60.0, 0.0, 45.0, 89.0}) {
    for (double height : {0.0, 1500.0}) {
      const double lat = latDeg * degree;
      const double lon = 30.0 * degree;
      const double n = wgs84SemiMajorAxis / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
      const Vec3 p{(n + height) * std::cos(lat) * std::cos(lon),
                   (n + height) * std::cos(lat) * std::sin(lon),
                   (n * (1.0 - e2) + height) * std::sin(lat)};
      const Vec3 up = localUp(p);
      EXPECT_NEAR(up.x, std::cos(lat) * std::cos(lon), 1e-12) << latDeg;
      EXPECT_NEAR(up.y, std::cos(lat) * std::sin(lon), 1e-12) << latDeg;
      EXPECT_NEAR(up.z, std::sin(lat), 1e-12) << latDeg;
    }
  }
}

TEST(LightTime, RangeIsTheInertialDistanceTravelledAtTheSpeedOfLight) {
  const Constellation sky = Constellation::nominal(reference);
  const Vec3 receiver{1095790.2358, -4831326.5883, 4003934.2615};
  const Vec3 up = localUp(receiver);
  double largestRotationEffect = 0.0;
  for (std::size_t i = 0; i < sky.elements().size(); ++i) {
    const double t = 5000.0 + 77.0 * static_cast<double>(i);
    const SignalPath path = traceSignal(sky, i, receiver, up, t);
    EXPECT_DOUBLE_EQ(path.range, speedOfLight * path.travelTime);
    // In a non-rotating frame the signal runs straight from where the
    // satellite was at transmission to where the receiver is at reception.
    const Vec3 sent = inertial(sky.positionAt(i, t - path.travelTime), t - path.travelTime);
    const Vec3 received = inertial(receiver, t);
    EXPECT_NEAR(norm(sent - received), path.range, 1e-5) << "PRN " << sky.elements()[i].prn;
    const Vec3 lineOfSight = path.satellite - receiver;
    EXPECT_NEAR(path.sinElevation, dot(lineOfSight, up) / norm(lineOfSight), 1e-12);
    const double naive = norm(sky.positionAt(i, t - path.travelTime) - receiver);
    largestRotationEffect = std::fmax(largestRotationEffect, std::fabs(naive - path.range));
  }
  EXPECT_GT(largestRotationEffect, 5.0) << "the Earth's rotation during flight is tens of metres";
}

}  // namespace
}  // namespace zlogsim
