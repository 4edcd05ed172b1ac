// Orbits, time and light-time for the simulator's truth model.
#include "zlogsim/gps_model.hpp"

#include <stdexcept>
#include <utility>

namespace zlogsim {

double secondsBetween(GpsTime later, GpsTime earlier) {
  return static_cast<double>(later.week - earlier.week) * secondsPerWeek +
         (later.seconds - earlier.seconds);
}

GpsTime addSeconds(GpsTime t, double s) {
  double sow = t.seconds + s;
  const double weeks = std::floor(sow / secondsPerWeek);
  sow -= weeks * secondsPerWeek;
  std::int32_t week = t.week + static_cast<std::int32_t>(weeks);
  // floor() of a quotient rounded up to a whole week leaves sow just below 0
  // or at 604800; fold those onto the right side.
  if (sow < 0.0) {
    sow += secondsPerWeek;
    --week;
  } else if (sow >= secondsPerWeek) {
    sow -= secondsPerWeek;
    ++week;
  }
  return {week, sow};
}

Vec3 rotateZ(const Vec3& v, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
}

Vec3 localUp(const Vec3& ecef) {
  const double e2 = wgs84Flattening * (2.0 - wgs84Flattening);
  const double p = std::hypot(ecef.x, ecef.y);
  double lat = std::atan2(ecef.z, p * (1.0 - e2));
  for (int i = 0; i < 6; ++i) {
    const double s = std::sin(lat);
    const double n = wgs84SemiMajorAxis / std::sqrt(1.0 - e2 * s * s);
    const double h = p / std::cos(lat) - n;
    lat = std::atan2(ecef.z, p * (1.0 - e2 * n / (n + h)));
  }
  const double lon = std::atan2(ecef.y, ecef.x);
  return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

double meanMotion(const OrbitElements& e) {
  return std::sqrt(earthGravity / (e.semiMajorAxis * e.semiMajorAxis * e.semiMajorAxis));
}

double orbitalPeriod(const OrbitElements& e) {
  return 2.0 * pi / meanMotion(e);
}

Constellation Constellation::nominal(GpsTime epoch) {
  constexpr double degree = pi / 180.0;
  // Six planes, the first two one satellite fuller, 32 slots in all.
  constexpr int slotsPerPlane[6] = {6, 6, 5, 5, 5, 5};
  std::vector<OrbitElements> elements;
  int slot = 0;
  for (int plane = 0; plane < 6; ++plane) {
    for (int k = 0; k < slotsPerPlane[plane]; ++k, ++slot) {
      OrbitElements e;
      // 13 is prime to 32, so this deals every PRN 1..32 exactly once and
      // spreads neighbouring PRNs over different planes.
      e.prn = (slot * 13) % maxPrn + 1;
      e.plane = plane;
      e.semiMajorAxis = 26559.7e3;
      e.eccentricity = 0.002 + 0.003 * static_cast<double>((slot * 7) % 5);
      e.inclination = 55.0 * degree;
      e.nodeLongitude = (17.0 + 60.0 * plane) * degree;
      e.argumentOfPerigee = static_cast<double>((slot * 47) % 360) * degree;
      // Slots evenly spaced in a plane, planes staggered so that satellites
      // of neighbouring planes do not rise together.
      e.meanAnomaly =
          (360.0 * k / slotsPerPlane[plane] + 23.0 * plane) * degree - e.argumentOfPerigee;
      elements.push_back(e);
    }
  }
  return Constellation(epoch, std::move(elements));
}

Constellation::Constellation(GpsTime epoch, std::vector<OrbitElements> elements)
    : epoch_(epoch), elements_(std::move(elements)) {
  indexByPrn_.fill(-1);
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    const OrbitElements& e = elements_[i];
    if (e.prn < 1 || e.prn > maxPrn || indexByPrn_[static_cast<std::size_t>(e.prn)] >= 0) {
      throw std::invalid_argument("satellite PRN out of range or repeated");
    }
    indexByPrn_[static_cast<std::size_t>(e.prn)] = static_cast<int>(i);
    derived_.push_back({meanMotion(e), std::sqrt(1.0 - e.eccentricity * e.eccentricity),
                        std::cos(e.argumentOfPerigee), std::sin(e.argumentOfPerigee),
                        std::cos(e.inclination), std::sin(e.inclination)});
  }
}

int Constellation::indexOf(int prn) const {
  if (prn < 1 || prn > maxPrn) return -1;
  return indexByPrn_[static_cast<std::size_t>(prn)];
}

Vec3 Constellation::position(int prn, GpsTime t) const {
  const int index = indexOf(prn);
  if (index < 0) throw std::invalid_argument("no satellite with this PRN");
  return positionAt(static_cast<std::size_t>(index), secondsBetween(t, epoch_));
}

Vec3 Constellation::positionAt(std::size_t index, double sinceEpoch) const {
  const OrbitElements& el = elements_[index];
  const Derived& d = derived_[index];
  const double e = el.eccentricity;
  const double m = std::fmod(el.meanAnomaly + d.meanMotion * sinceEpoch, 2.0 * pi);
  // Newton on Kepler's equation; GPS eccentricities converge in three steps.
  double ecc = m + e * std::sin(m);
  double sinE = 0.0;
  double cosE = 0.0;
  for (int i = 0; i < 8; ++i) {
    sinE = std::sin(ecc);
    cosE = std::cos(ecc);
    const double step = (ecc - e * sinE - m) / (1.0 - e * cosE);
    ecc -= step;
    if (std::fabs(step) < 1e-15) break;
  }
  sinE = std::sin(ecc);
  cosE = std::cos(ecc);
  const double denominator = 1.0 - e * cosE;
  const double cosNu = (cosE - e) / denominator;
  const double sinNu = d.rootOneMinusE2 * sinE / denominator;
  const double cosU = cosNu * d.cosPerigee - sinNu * d.sinPerigee;
  const double sinU = sinNu * d.cosPerigee + cosNu * d.sinPerigee;
  const double r = el.semiMajorAxis * denominator;
  const double xp = r * cosU;
  const double yp = r * sinU;
  // The node regresses in the Earth-fixed frame at the Earth's rotation rate.
  const double node = el.nodeLongitude - earthRotationRate * sinceEpoch;
  const double cosNode = std::cos(node);
  const double sinNode = std::sin(node);
  return {xp * cosNode - yp * d.cosIncl * sinNode, xp * sinNode + yp * d.cosIncl * cosNode,
          yp * d.sinIncl};
}

SignalPath traceSignal(const Constellation& sky, std::size_t index, const Vec3& receiver,
                       const Vec3& up, double receiveSinceEpoch, double travelGuess) {
  SignalPath path;
  double tau = travelGuess;
  for (int i = 0; i < 10; ++i) {
    // The Earth turns by omega * tau while the signal flies, which turns the
    // transmit-time coordinates by the opposite angle in the receive frame.
    path.satellite =
        rotateZ(sky.positionAt(index, receiveSinceEpoch - tau), -earthRotationRate * tau);
    path.range = norm(path.satellite - receiver);
    const double next = path.range / speedOfLight;
    // Each step shrinks the error by the range rate over c (about 3e-6), so
    // after a step below 1 ns the range is off by less than a micrometre.
    const bool converged = std::fabs(next - tau) < 1e-9;
    tau = next;
    if (converged) break;
  }
  path.travelTime = tau;
  const Vec3 lineOfSight = path.satellite - receiver;
  path.sinElevation = dot(lineOfSight, up) / path.range;
  return path;
}

double ReceiverClock::offsetAt(GpsTime trueTime) const {
  return bias + drift * secondsBetween(trueTime, epoch);
}

GpsTime ReceiverClock::trueTimeOf(GpsTime reading) const {
  // reading - epoch = (true - epoch) * (1 + drift) + bias, solved for true.
  return addSeconds(epoch, (secondsBetween(reading, epoch) - bias) / (1.0 + drift));
}

}  // namespace zlogsim
