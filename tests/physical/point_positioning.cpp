#include "physical/point_positioning.hpp"

#include <array>
#include <cmath>
#include <cstdint>

namespace kapolex::physical {
namespace {

using zlogsim::Vec3;

constexpr int maxIterations = 20;
constexpr double settledStep = 1e-4;  // m

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar; an
// era-based count independent of the converter's Julian-day arithmetic.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Gauss-Jordan elimination with partial pivoting on a 4 x 4 system with
// extra right-hand columns; on return columns 4 on hold the solutions.
template <std::size_t Columns>
bool eliminate(std::array<std::array<double, Columns>, 4>& a) {
  for (std::size_t col = 0; col < 4; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < 4; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    if (std::fabs(a[pivot][col]) < 1e-12) return false;
    std::swap(a[col], a[pivot]);
    const double p = a[col][col];
    for (std::size_t c = col; c < Columns; ++c) a[col][c] /= p;
    for (std::size_t r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = a[r][col];
      for (std::size_t c = col; c < Columns; ++c) a[r][c] -= f * a[col][c];
    }
  }
  return true;
}

}  // namespace

zlogsim::GpsTime gpsTimeOf(const CalendarTime& t) {
  const std::int64_t days =
      daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
      daysFromCivil(1980, 1, 6);
  const std::int64_t week = (days >= 0 ? days : days - 6) / 7;
  const std::int64_t dayOfWeek = days - week * 7;
  const double seconds =
      static_cast<double>(dayOfWeek * 86400 + t.hour * 3600 + t.minute * 60) + t.second;
  return {static_cast<std::int32_t>(week), seconds};
}

Vec3 satelliteAtReception(const zlogsim::Constellation& sky, int prn, zlogsim::GpsTime transmitTime,
                          double travelTime) {
  return zlogsim::rotateZ(sky.position(prn, transmitTime),
                          -zlogsim::earthRotationRate * travelTime);
}

std::optional<PointSolution> solvePointPosition(
    const zlogsim::Constellation& sky, zlogsim::GpsTime reading,
    const std::vector<PseudorangeObservation>& observed) {
  if (observed.size() < 4) return std::nullopt;
  constexpr double c = zlogsim::speedOfLight;
  // The satellites' clocks keep GPS time, so the signal left at the reading
  // minus the pseudorange's light time, whatever the receiver clock's error.
  std::vector<zlogsim::GpsTime> transmit;
  for (const PseudorangeObservation& o : observed) {
    transmit.push_back(zlogsim::addSeconds(reading, -o.pseudorange / c));
  }
  Vec3 x{};
  double bias = 0.0;  // m, c times the clock offset
  // Residual of observation i at the current estimate, and the direction
  // from the satellite to the receiver.
  auto model = [&](std::size_t i, Vec3& direction) {
    const double travel = (observed[i].pseudorange - bias) / c;
    const Vec3 lineOfSight = satelliteAtReception(sky, observed[i].prn, transmit[i], travel) - x;
    const double range = zlogsim::norm(lineOfSight);
    direction = {-lineOfSight.x / range, -lineOfSight.y / range, -lineOfSight.z / range};
    return observed[i].pseudorange - (range + bias);
  };
  for (int iteration = 0; iteration < maxIterations; ++iteration) {
    std::array<std::array<double, 5>, 4> normal{};
    for (std::size_t i = 0; i < observed.size(); ++i) {
      Vec3 u;
      const double residual = model(i, u);
      const std::array<double, 4> row = {u.x, u.y, u.z, 1.0};
      for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t col = 0; col < 4; ++col) normal[r][col] += row[r] * row[col];
        normal[r][4] += row[r] * residual;
      }
    }
    // The normal matrix and, beside it, the identity for its inverse.
    std::array<std::array<double, 9>, 4> system{};
    for (std::size_t r = 0; r < 4; ++r) {
      for (std::size_t col = 0; col < 5; ++col) system[r][col] = normal[r][col];
      system[r][5 + r] = 1.0;
    }
    if (!eliminate(system)) return std::nullopt;
    const double dx = system[0][4];
    const double dy = system[1][4];
    const double dz = system[2][4];
    const double db = system[3][4];
    x = {x.x + dx, x.y + dy, x.z + dz};
    bias += db;
    if (std::sqrt(dx * dx + dy * dy + dz * dz + db * db) < settledStep) {
      PointSolution solution;
      solution.position = x;
      solution.clockOffset = bias / c;
      solution.positionDop = std::sqrt(system[0][5] + system[1][6] + system[2][7]);
      for (std::size_t i = 0; i < observed.size(); ++i) {
        Vec3 unused;
        solution.residuals.push_back(model(i, unused));
      }
      return solution;
    }
  }
  return std::nullopt;
}

}  // namespace kapolex::physical
