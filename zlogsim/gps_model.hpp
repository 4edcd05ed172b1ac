// The physics behind a simulated log: WGS-84 and GPS constants, GPS time,
// a nominal constellation on Keplerian orbits, the static receiver with its
// drifting clock, and the light-time solution that ties them together.
// Everything here is exact (no interpolation), so tests can recompute what the
// simulator wrote.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zlogsim {

inline constexpr double speedOfLight = 299792458.0;           // m/s
inline constexpr double earthGravity = 3.986005e14;           // mu, m^3/s^2
inline constexpr double earthRotationRate = 7.2921151467e-5;  // rad/s
inline constexpr double wgs84SemiMajorAxis = 6378137.0;       // m
inline constexpr double wgs84Flattening = 1.0 / 298.257223563;
inline constexpr double l1Frequency = 1575.42e6;  // Hz
inline constexpr double l1Wavelength = speedOfLight / l1Frequency;
inline constexpr double secondsPerWeek = 604800.0;
inline constexpr double pi = 3.14159265358979323846;
inline constexpr int maxPrn = 32;

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

inline Vec3 operator-(const Vec3& a, const Vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline double dot(const Vec3& a, const Vec3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double norm(const Vec3& a) {
  return std::sqrt(dot(a, a));
}

// A GPS time as week and seconds of week. Normalised values have seconds in
// [0, 604800); a receiver's clock reading is kept in the same form.
struct GpsTime {
  std::int32_t week = 0;
  double seconds = 0.0;
};

// later - earlier in seconds. The week difference is applied as a whole
// number first so that nearby times keep their full precision.
double secondsBetween(GpsTime later, GpsTime earlier);

// t + s, normalised into [0, 604800) with the week carried.
GpsTime addSeconds(GpsTime t, double s);

// The ECEF vector rotated about Z by angle (radians, counter-clockwise).
Vec3 rotateZ(const Vec3& v, double angle);

// Unit vector of the local vertical (ellipsoid normal) at an ECEF position.
Vec3 localUp(const Vec3& ecef);

// Keplerian elements of one satellite at the constellation's reference epoch.
// The node is given as a longitude in the Earth-fixed frame at that epoch,
// so the orbit needs no separate sidereal time.
struct OrbitElements {
  int prn = 0;
  int plane = 0;               // 0..5, orbital plane A..F
  double semiMajorAxis = 0.0;  // m
  double eccentricity = 0.0;
  double inclination = 0.0;        // rad
  double nodeLongitude = 0.0;      // rad, Earth-fixed, at the reference epoch
  double argumentOfPerigee = 0.0;  // rad
  double meanAnomaly = 0.0;        // rad, at the reference epoch
};

// Mean motion (rad/s) and period (s) of an orbit under the GPS value of mu.
double meanMotion(const OrbitElements& e);
double orbitalPeriod(const OrbitElements& e);

// A set of satellites with elements referred to one epoch.
class Constellation {
 public:
  // The built-in nominal constellation: 32 satellites (PRN 1..32) in six
  // planes 60 degrees apart at 55 degrees inclination, half-sidereal-day
  // orbits, elements referred to `epoch`.
  static Constellation nominal(GpsTime epoch);

  Constellation(GpsTime epoch, std::vector<OrbitElements> elements);

  GpsTime epoch() const { return epoch_; }
  const std::vector<OrbitElements>& elements() const { return elements_; }

  // Index into elements() of a PRN, or -1 when the PRN is not in orbit.
  int indexOf(int prn) const;

  // Earth-fixed position of a satellite at a GPS time (PRN must be present).
  Vec3 position(int prn, GpsTime t) const;

  // Same, for elements()[index] at seconds since epoch(); the fast path.
  Vec3 positionAt(std::size_t index, double sinceEpoch) const;

 private:
  struct Derived {
    double meanMotion, rootOneMinusE2, cosPerigee, sinPerigee, cosIncl, sinIncl;
  };
  GpsTime epoch_;
  std::vector<OrbitElements> elements_;
  std::vector<Derived> derived_;
  std::array<int, maxPrn + 1> indexByPrn_{};
};

// The signal from one satellite to the receiver, for a reception at a true
// GPS time. The satellite is taken at its transmit time and expressed in the
// Earth-fixed axes of the reception instant, so the range includes the
// Earth's rotation during the flight.
struct SignalPath {
  double range = 0.0;       // m, geometric, = speed of light * travelTime
  double travelTime = 0.0;  // s
  Vec3 satellite;           // m, at transmission, in reception-time axes
  double sinElevation = 0.0;
};

// Solves the light-time equation for elements()[index]; receiveSinceEpoch is
// the true reception time in seconds since the constellation's epoch. The
// iteration starts from travelGuess (s) and stops when a step is below 1 ns,
// which leaves the range within a micrometre of the exact solution.
SignalPath traceSignal(const Constellation& sky, std::size_t index, const Vec3& receiver,
                       const Vec3& up, double receiveSinceEpoch, double travelGuess = 0.075);

// Linear receiver clock: reading = true time + offset, offset = bias + drift *
// (true time - epoch).
struct ReceiverClock {
  GpsTime epoch;
  double bias = 0.0;   // s
  double drift = 0.0;  // s/s

  // Offset (s) at a true GPS time.
  double offsetAt(GpsTime trueTime) const;
  // The true GPS time at which the clock shows `reading`.
  GpsTime trueTimeOf(GpsTime reading) const;
};

}  // namespace zlogsim
