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

GpsTime epochReading(const SimulationSettings& settings, std::uint64_t index) {
  // Integer nanoseconds keep every reading the exact decimal the receiver
  // would print (100.1, not 100.09999999999854) however long the run.
  const std::int64_t startNs = std::llround(settings.start.seconds * 1e9);
  const std::int64_t intervalNs = std::llround(1e9 / settings.rateHz);
  const std::int64_t total = startNs + static_cast<std::int64_t>(index) * intervalNs;
  std::int64_t weeks = total / nanosPerWeek;
  std::int64_t rest = total % nanosPerWeek;
  if (rest < 0) {
    rest += nanosPerWeek;
    --weeks;
  }
  return {settings.start.week + static_cast<std::int32_t>(weeks), static_cast<double>(rest) / 1e9};
}

Simulator::Simulator(const SimulationSettings& settings)
    : settings_(settings),
      truth_(settings),
      intervalNs_(std::llround(1e9 / settings.rateHz)),
      settleEpochs_(static_cast<std::uint64_t>(std::ceil(settleSeconds * settings.rateHz))),
      slipChance_(chancePerEpoch(settings.impairments.slipsPerHour, settings.rateHz)),
      lockLossChance_(chancePerEpoch(settings.impairments.lockLossPerHour, settings.rateHz)),
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
      slot.dark = false;
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
    acquire(slot, k);
    slotOfPrn_[static_cast<std::size_t>(prn)] = static_cast<int>(s);
  }
}

void Simulator::acquire(Slot& slot, std::uint64_t k) const {
  slot.acquiredAt = k;
  const std::uint64_t h =
      hashKeys(settings_.seed, keyAmbiguity, static_cast<std::uint64_t>(slot.prn), k);
  slot.ambiguity = static_cast<double>(h >> 44);  // whole cycles, 0 .. 2^20 - 1
  slot.slipCycles = 0;
  slot.dark = false;
}

bool Simulator::keepsLock(Slot& slot, std::uint64_t k) {
  if (slot.dark) {
    if (k < slot.resumeAt) return false;
    // Reacquired like a newly risen satellite: a fresh ambiguity, and the
    // tracking flags raised while the loop settles.
    acquire(slot, k);
    return true;
  }
  const std::uint64_t age = k - slot.acquiredAt;
  if (age == 0) return true;
  const std::uint64_t seed = settings_.seed;
  if (lockLossChance_ > 0.0) {
    const std::uint64_t dark = lockLossAt(seed, slot.prn, k, lockLossChance_, settings_.rateHz);
    if (dark > 0) {
      slot.dark = true;
      slot.resumeAt = k + dark;
      addEvent(ImpairmentKind::lockLoss, slot.prn, static_cast<std::int64_t>(dark));
      return false;
    }
  }
  // Slips strike settled channels only, so that no slip hides behind a
  // tracking flag.
  if (slipChance_ > 0.0 && age >= settleEpochs_) {
    const std::int32_t cycles = slipAt(seed, slot.prn, k, slipChance_);
    if (cycles != 0) {
      slot.slipCycles += cycles;
      addEvent(ImpairmentKind::slip, slot.prn, cycles);
    }
  }
  return true;
}

void Simulator::addEvent(ImpairmentKind kind, int prn, std::int64_t value) {
  epoch_.events[epoch_.eventCount++] = {kind, prn, value};
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
  ep.eventCount = 0;
  const double noiseSigma = settings_.impairments.codeNoiseSigma;
  std::size_t n = 0;
  for (Slot& slot : slots_) {
    if (slot.prn == 0) continue;
    // The channel's random bytes are drawn even when it is dark, so that the
    // other channels keep theirs.
    const std::uint32_t status = rng.below(4);
    const double jitter = rng.uniform() - 0.5;
    const std::uint8_t reserved = rng.byte();
    if (!keepsLock(slot, k)) continue;
    const auto p = static_cast<std::size_t>(slot.prn - 1);
    ChannelTruth& t = ep.truth[n];
    t.prn = slot.prn;
    t.sinElevation = sinElevation_[p];
    t.range = interpolatedRange(p);
    t.pseudorange = t.range + speedOfLight * ep.clockOffset;
    const double physicalCycles = t.pseudorange / l1Wavelength + slot.ambiguity;
    t.carrierCycles = physicalCycles + static_cast<double>(slot.slipCycles);
    const std::uint64_t age = k - slot.acquiredAt;
    t.trackingFlags = age == 0 ? flagPhaseUnlocked | flagHalfCycleUnknown
                               : (age < settleEpochs_ ? flagPhaseUnlocked : 0U);
    t.lockStart = slot.acquiredAt;
    t.slipCycles = slot.slipCycles;
    t.codeNoise = noiseSigma > 0.0 ? codeNoiseAt(settings_.seed, slot.prn, k, noiseSigma) : 0.0;

    ChannelRecord& r = body.channels[n];
    // Bits 6-7 of the PRN byte carry receiver status that readers ignore.
    r.prnByte = static_cast<std::uint8_t>(p | (status << 6));
    r.signal = signalByteFor(t.sinElevation, jitter);
    r.codePhase = codePhaseFor(body.receiveTime, t.pseudorange + t.codeNoise);
    // The slip goes into the whole cycles of the packed word, so that it
    // shifts the written phase by exactly that many cycles.
    r.carrierWord =
        addWholeCycles(packCarrierWord(physicalCycles, t.trackingFlags), slot.slipCycles);
    r.reserved = reserved;
    ++n;
  }
  body.channelCount = n;
  return ep;
}

}  // namespace zlogsim
