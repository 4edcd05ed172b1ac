// The receiver simulation: clock, tracking channels and raw observables.
#include "zlogsim/simulator.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "zlogsim/observables.hpp"
#include "zlogsim/random.hpp"

namespace zlogsim {
namespace {

constexpr std::int64_t nanosPerWeek = 604800LL * 1000000000LL;
constexpr double settleSeconds = 2.0;  // carrier loop settling after acquisition
// Keys that separate the hash streams of the simulation.
constexpr std::uint64_t keyEpoch = 0x45504F43;      // per-epoch bytes and jitter
constexpr std::uint64_t keyAmbiguity = 0x414D4249;  // carrier offset at acquisition

}  // namespace

TruthModel::TruthModel(const SimulationSettings& settings)
    : sky_(Constellation::nominal(GpsTime{settings.start.week, 0.0})),
      clock_{settings.start, settings.clockBias, settings.clockDrift},
      receiver_(settings.receiverPosition),
      up_(localUp(settings.receiverPosition)),
      sinMask_(std::sin(settings.elevationMaskDegrees * pi / 180.0)) {}

SignalPath TruthModel::signal(int prn, GpsTime trueReceiveTime) const {
  const int index = sky_.indexOf(prn);
  if (index < 0) throw std::invalid_argument("no satellite with this PRN");
  return traceSignal(sky_, static_cast<std::size_t>(index), receiver_, up_,
                     secondsBetween(trueReceiveTime, sky_.epoch()));
}

double TruthModel::pseudorange(int prn, GpsTime reading) const {
  const GpsTime t = clock_.trueTimeOf(reading);
  return signal(prn, t).range + speedOfLight * clock_.offsetAt(t);
}

Simulator::Simulator(const SimulationSettings& settings)
    : settings_(settings),
      truth_(settings),
      startNs_(std::llround(settings.start.seconds * 1e9)),
      intervalNs_(std::llround(1e9 / settings.rateHz)),
      settleEpochs_(static_cast<std::uint64_t>(std::ceil(settleSeconds * settings.rateHz))),
      clockEpochSinceSky_(secondsBetween(truth_.clock().epoch, truth_.constellation().epoch())) {
  if (!(settings.rateHz > 0.0) || intervalNs_ < 1) {
    throw std::invalid_argument("epoch rate must be positive");
  }
  if (settleEpochs_ < 1) settleEpochs_ = 1;
  slotOfPrn_.fill(-1);
  travelGuess_.fill(0.075);
  const double farBelow = std::max(settings.elevationMaskDegrees - 15.0, -90.0);
  sinFarBelowMask_ = std::sin(farBelow * pi / 180.0);
}

GpsTime Simulator::readingAt(std::uint64_t index) const {
  // Integer nanoseconds keep every reading the exact decimal the receiver
  // would print (100.1, not 100.09999999999854) however long the run.
  const std::int64_t total = startNs_ + static_cast<std::int64_t>(index) * intervalNs_;
  std::int64_t weeks = total / nanosPerWeek;
  std::int64_t rest = total % nanosPerWeek;
  if (rest < 0) {
    rest += nanosPerWeek;
    --weeks;
  }
  return {settings_.start.week + static_cast<std::int32_t>(weeks), static_cast<double>(rest) / 1e9};
}

const Simulator::Node& Simulator::node(std::int64_t index) {
  const auto ring = static_cast<std::size_t>(((index % nodeCount) + nodeCount) % nodeCount);
  Node& n = nodes_[ring];
  if (n.index == index) return n;
  n.index = index;
  n.range.fill(0.0);
  n.sinElevation.fill(-2.0);  // absent PRNs are never above any mask
  const Constellation& sky = truth_.constellation();
  const Vec3& receiver = truth_.receiver();
  const Vec3& up = truth_.up();
  const double t = static_cast<double>(index) * nodeSpacing;
  for (std::size_t i = 0; i < sky.elements().size(); ++i) {
    const auto p = static_cast<std::size_t>(sky.elements()[i].prn - 1);
    double& guess = travelGuess_[p];
    // A satellite far below the mask cannot climb over it within the
    // interpolation window (elevation changes by under a degree a minute), so
    // its light-time solution is not worth the sines.
    const Vec3 rough = sky.positionAt(i, t - guess);
    const Vec3 lineOfSight = rough - receiver;
    const double roughRange = norm(lineOfSight);
    const double roughSinElevation = dot(lineOfSight, up) / roughRange;
    if (roughSinElevation < sinFarBelowMask_) {
      n.range[p] = roughRange;
      n.sinElevation[p] = roughSinElevation;
      continue;
    }
    const SignalPath path = traceSignal(sky, i, receiver, up, t, guess);
    guess = path.travelTime;
    n.range[p] = path.range;
    n.sinElevation[p] = path.sinElevation;
  }
  return n;
}

void Simulator::prepareInterpolation(double sinceEpoch) {
  // Lagrange interpolation on nodeCount equally spaced nodes with t in the
  // middle interval, where the polynomial error is smallest.
  static constexpr std::array<double, nodeCount> inverseDenominator = [] {
    std::array<double, nodeCount> d{};
    for (int i = 0; i < nodeCount; ++i) {
      double product = 1.0;
      for (int m = 0; m < nodeCount; ++m) {
        if (m != i) product *= static_cast<double>(i - m);
      }
      d[static_cast<std::size_t>(i)] = 1.0 / product;
    }
    return d;
  }();
  const double s = sinceEpoch / nodeSpacing;
  const auto first = static_cast<std::int64_t>(std::floor(s)) - (nodeCount / 2 - 1);
  const double u = s - static_cast<double>(first);  // in [3, 4) for 8 nodes
  std::array<double, nodeCount + 1> before{};       // before[i] = (u - 0) ... (u - (i - 1))
  std::array<double, nodeCount + 1> after{};        // after[i] = (u - i) ... (u - (n - 1))
  before[0] = 1.0;
  after[nodeCount] = 1.0;
  for (std::size_t i = 0; i < nodeCount; ++i) {
    before[i + 1] = before[i] * (u - static_cast<double>(i));
    const std::size_t j = nodeCount - 1 - i;
    after[j] = after[j + 1] * (u - static_cast<double>(j));
  }
  for (std::size_t i = 0; i < nodeCount; ++i) {
    weight_[i] = before[i] * after[i + 1] * inverseDenominator[i];
    window_[i] = &node(first + static_cast<std::int64_t>(i));
  }
  // Straight-line elevations between the two middle nodes sort out the
  // satellites far from the mask; only those near or above it get the full
  // interpolation, on which tracking decisions rest.
  const Node& left = *window_[nodeCount / 2 - 1];
  const Node& right = *window_[nodeCount / 2];
  const double fraction = u - static_cast<double>(nodeCount / 2 - 1);
  const double nearMask = truth_.sinMask() - 0.01;
  for (std::size_t p = 0; p < maxPrn; ++p) {
    const double linear =
        left.sinElevation[p] + fraction * (right.sinElevation[p] - left.sinElevation[p]);
    if (linear < nearMask) {
      sinElevation_[p] = linear;
      continue;
    }
    double e = 0.0;
    for (std::size_t i = 0; i < nodeCount; ++i) e += weight_[i] * window_[i]->sinElevation[p];
    sinElevation_[p] = e;
  }
}

double Simulator::interpolatedRange(std::size_t p) const {
  double r = 0.0;
  for (std::size_t i = 0; i < nodeCount; ++i) r += weight_[i] * window_[i]->range[p];
  return r;
}

void Simulator::updateTracking(std::uint64_t k) {
  const double mask = truth_.sinMask();
  std::size_t freeSlots = 0;
  for (Slot& slot : slots_) {
    if (slot.prn != 0 && sinElevation_[static_cast<std::size_t>(slot.prn - 1)] < mask) {
      slotOfPrn_[static_cast<std::size_t>(slot.prn)] = -1;
      slot.prn = 0;
    }
    if (slot.prn == 0) ++freeSlots;
  }
  // A receiver keeps a satellite while it stays above the mask and gives free
  // channels to the highest satellites waiting, so rising satellites join as
  // channels free up.
  std::array<int, maxPrn> waiting{};
  std::size_t count = 0;
  for (int prn = 1; prn <= maxPrn; ++prn) {
    if (slotOfPrn_[static_cast<std::size_t>(prn)] < 0 &&
        sinElevation_[static_cast<std::size_t>(prn - 1)] >= mask) {
      waiting[count++] = prn;
    }
  }
  if (count == 0 || freeSlots == 0) return;
  auto higher = [this](int a, int b) {
    return sinElevation_[static_cast<std::size_t>(a - 1)] >
           sinElevation_[static_cast<std::size_t>(b - 1)];
  };
  std::sort(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(count), higher);
  std::size_t next = 0;
  for (std::size_t s = 0; s < slots_.size() && next < count; ++s) {
    Slot& slot = slots_[s];
    if (slot.prn != 0) continue;
    const int prn = waiting[next++];
    slot.prn = prn;
    slot.acquiredAt = k;
    const std::uint64_t h =
        hashKeys(settings_.seed, keyAmbiguity, static_cast<std::uint64_t>(prn), k);
    slot.ambiguity = static_cast<double>(h >> 44);  // whole cycles, 0 .. 2^20 - 1
    slotOfPrn_[static_cast<std::size_t>(prn)] = static_cast<int>(s);
  }
}

const SimEpoch& Simulator::next() {
  const std::uint64_t k = nextIndex_++;
  SimEpoch& ep = epoch_;
  ep.index = k;
  ep.reading = readingAt(k);
  const ReceiverClock& clock = truth_.clock();
  const double sinceClockEpoch =
      (secondsBetween(ep.reading, clock.epoch) - clock.bias) / (1.0 + clock.drift);
  const double trueSinceSky = clockEpochSinceSky_ + sinceClockEpoch;
  ep.trueTime = addSeconds(truth_.constellation().epoch(), trueSinceSky);
  ep.clockOffset = clock.bias + clock.drift * sinceClockEpoch;

  prepareInterpolation(trueSinceSky);
  updateTracking(k);

  Random rng(hashKeys(settings_.seed, keyEpoch, k));
  MeasurementBody& body = ep.body;
  body.reserved = {rng.byte(), rng.byte()};
  body.receiveTime = ep.reading.seconds;
  std::size_t n = 0;
  for (const Slot& slot : slots_) {
    if (slot.prn == 0) continue;
    const auto p = static_cast<std::size_t>(slot.prn - 1);
    ChannelTruth& t = ep.truth[n];
    t.prn = slot.prn;
    t.sinElevation = sinElevation_[p];
    t.range = interpolatedRange(p);
    t.pseudorange = t.range + speedOfLight * ep.clockOffset;
    t.carrierCycles = t.pseudorange / l1Wavelength + slot.ambiguity;
    const std::uint64_t age = k - slot.acquiredAt;
    t.trackingFlags = age == 0 ? flagPhaseUnlocked | flagHalfCycleUnknown
                               : (age < settleEpochs_ ? flagPhaseUnlocked : 0U);

    ChannelRecord& r = body.channels[n];
    // Bits 6-7 of the PRN byte carry receiver status that readers ignore.
    r.prnByte = static_cast<std::uint8_t>(p | (rng.below(4) << 6));
    r.signal = signalByteFor(t.sinElevation, rng.uniform() - 0.5);
    r.codePhase = codePhaseFor(body.receiveTime, t.pseudorange);
    r.carrierWord = packCarrierWord(t.carrierCycles, t.trackingFlags);
    r.reserved = rng.byte();
    ++n;
  }
  body.channelCount = n;
  return ep;
}

}  // namespace zlogsim
