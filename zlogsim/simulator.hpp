// Epoch-by-epoch simulation of a static L1 receiver: which satellites it
// tracks, and the code phase, carrier word and signal byte of each channel,
// together with the physical truth behind every value.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "zlogsim/frame.hpp"
#include "zlogsim/gps_model.hpp"
#include "zlogsim/impairments.hpp"

namespace zlogsim {

inline constexpr Vec3 defaultReceiverPosition{1095790.2358, -4831326.5883, 4003934.2615};

// Everything that fixes the content of a simulated log's measurements.
struct SimulationSettings {
  GpsTime start{1356, 0.0};  // receiver clock reading of the first epoch
  double rateHz = 1.0;       // epochs per second of receiver clock
  std::uint64_t seed = 1;
  Vec3 receiverPosition = defaultReceiverPosition;
  double clockBias = 3.0e-4;   // s, receiver clock minus GPS time at the start
  double clockDrift = 5.0e-9;  // s/s
  double elevationMaskDegrees = 10.0;
  ImpairmentSettings impairments;  // none by default
};

// Receiver clock reading of epoch `index` of a run with these settings.
GpsTime epochReading(const SimulationSettings& settings, std::uint64_t index);

// The exact truth model of a run: constellation (elements referred to the
// start of the first week), receiver position and clock. Independent of the
// simulator's interpolation, so tests can check the log against it.
class TruthModel {
 public:
  explicit TruthModel(const SimulationSettings& settings);

  const Constellation& constellation() const { return sky_; }
  const ReceiverClock& clock() const { return clock_; }
  const Vec3& receiver() const { return receiver_; }
  const Vec3& up() const { return up_; }
  // Sine of the elevation mask below which no satellite is tracked.
  double sinMask() const { return sinMask_; }

  // Earth-fixed satellite position of a PRN at a GPS time.
  Vec3 satellitePosition(int prn, GpsTime t) const { return sky_.position(prn, t); }
  // Light-time solution for a reception at a true GPS time.
  SignalPath signal(int prn, GpsTime trueReceiveTime) const;
  // The pseudorange (m) a perfect receiver measures for a reception at its
  // clock reading: the geometric range plus c times the clock offset.
  double pseudorange(int prn, GpsTime reading) const;

 private:
  Constellation sky_;
  ReceiverClock clock_;
  Vec3 receiver_;
  Vec3 up_;
  double sinMask_;
};

// The truth behind one channel record.
struct ChannelTruth {
  int prn = 0;
  double sinElevation = 0.0;
  double range = 0.0;        // m, geometric incl. Earth rotation during flight
  double pseudorange = 0.0;  // m, before the code phase is rounded to counts
  // Accumulated carrier phase, cycles, before rounding and wrapping. It grows
  // with the pseudorange (phase * wavelength - pseudorange is constant while
  // a satellite stays tracked), offset by a whole number of cycles chosen at
  // acquisition and by the injected slips.
  double carrierCycles = 0.0;
  unsigned trackingFlags = 0;
  std::uint64_t lockStart = 0;  // epoch at which the current lock began
  std::int64_t slipCycles = 0;  // sum of the slips injected since then
  double codeNoise = 0.0;       // m, added to pseudorange in the code phase only
};

// One simulated epoch: the message body and its truth, channel by channel.
struct SimEpoch {
  std::uint64_t index = 0;
  GpsTime reading;           // receiver clock; body.receiveTime == reading.seconds
  GpsTime trueTime;          // GPS time of the measurement
  double clockOffset = 0.0;  // s, reading - trueTime
  MeasurementBody body;
  std::array<ChannelTruth, maxChannels> truth{};
  // Faults injected at this epoch, at most one per tracked satellite. They
  // happen whether or not the epoch is written.
  std::size_t eventCount = 0;
  std::array<Impairment, maxChannels> events{};
};

// Generates epochs in order. The ranges come from an interpolation of exact
// light-time solutions on a coarse grid; the error is micrometres, far below
// the 1/1024 cycle carrier resolution.
class Simulator {
 public:
  explicit Simulator(const SimulationSettings& settings);

  const TruthModel& truth() const { return truth_; }
  const SimulationSettings& settings() const { return settings_; }

  // Receiver clock reading of epoch `index`.
  GpsTime readingAt(std::uint64_t index) const { return epochReading(settings_, index); }
  // Receiver clock time from the first epoch to epoch `index`, nanoseconds.
  std::int64_t sinceStartNanos(std::uint64_t index) const {
    return static_cast<std::int64_t>(index) * intervalNs_;
  }

  // Computes the next epoch (the first call gives epoch 0). The reference is
  // valid until the next call.
  const SimEpoch& next();

  // Spacing (s) and number of grid nodes used by the interpolation.
  static constexpr double nodeSpacing = 120.0;
  static constexpr int nodeCount = 8;

 private:
  struct Node {
    std::int64_t index = std::numeric_limits<std::int64_t>::min();
    std::array<double, maxPrn> range{};
    std::array<double, maxPrn> sinElevation{};
  };
  struct Slot {
    int prn = 0;  // 0: free
    std::uint64_t acquiredAt = 0;
    double ambiguity = 0.0;
    std::int64_t slipCycles = 0;
    bool dark = false;  // lock lost; the channel waits for resumeAt
    std::uint64_t resumeAt = 0;
  };

  const Node& node(std::int64_t index);
  // Sets the weights and nodes for a true time and interpolates every
  // satellite's elevation; ranges follow on demand.
  void prepareInterpolation(double sinceEpoch);
  double interpolatedRange(std::size_t prnIndex) const;
  void updateTracking(std::uint64_t k);
  void acquire(Slot& slot, std::uint64_t k) const;
  // Applies loss of lock, reacquisition and slips to a tracked slot at epoch
  // k; false while the slot is dark.
  bool keepsLock(Slot& slot, std::uint64_t k);
  void addEvent(ImpairmentKind kind, int prn, std::int64_t value);

  SimulationSettings settings_;
  TruthModel truth_;
  std::int64_t intervalNs_;
  std::uint64_t settleEpochs_;
  double slipChance_;
  double lockLossChance_;
  double sinFarBelowMask_ = -1.0;
  double clockEpochSinceSky_;
  std::uint64_t nextIndex_ = 0;
  std::array<Node, nodeCount> nodes_{};
  std::array<double, maxPrn> travelGuess_{};
  std::array<double, nodeCount> weight_{};
  std::array<const Node*, nodeCount> window_{};
  std::array<double, maxPrn> sinElevation_{};
  std::array<Slot, maxChannels> slots_{};
  std::array<int, maxPrn + 1> slotOfPrn_{};
  SimEpoch epoch_;
};

}  // namespace zlogsim
