// Code phase, carrier word and signal byte, checked against a reader's
// formulas written out here independently of the simulator.
#include "zlogsim/observables.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace zlogsim {
namespace {

constexpr double c = 299792458.0;
constexpr double K = 4.773032746823069e-10;
constexpr double halfCount = 0.5 * K * c;  // 7.2 cm

// The reader's pseudorange: fraction of the receive time minus the code time,
// one second added when negative, times c.
double readerPseudorange(double t, std::int32_t codePhase) {
  const double f = std::fmod(t, 1.0);
  const double p = static_cast<double>(codePhase) * K;
  double x = f - p;
  if (x < 0.0) x = x + 1.0;
  return x * c;
}

double readerPhase(std::uint32_t word) {
  return static_cast<double>(word >> 12) + static_cast<double>((word >> 2) & 0x3FFU) / 1024.0;
}

TEST(CodePhase, ReaderRecoversThePseudorangeWithinHalfACount) {
  struct Case {
    double receiveTime;
    double pseudorange;
  };
  const Case cases[] = {
      {0.0, 20000000.0},         // fraction 0: the code time wraps below zero
      {100.25, 74798071.745},    // fraction above the travel time
      {100.05, 21234567.891},    // fraction below the travel time
      {604799.9, 25999999.999},  // last second of the week
      {345600.123456789, 19500000.0005},
      {7.999999999, 22000000.0},  // fraction just under 1
      {3.5, 149896229.0},         // travel time of exactly half a second
      {12.0, 0.2},                // pseudorange below one count
  };
  for (const Case& k : cases) {
    const std::int32_t code = codePhaseFor(k.receiveTime, k.pseudorange);
    EXPECT_GE(code, 0);
    EXPECT_LT(code, 2095104000);
    EXPECT_NEAR(readerPseudorange(k.receiveTime, code), k.pseudorange, halfCount + 1e-6)
        << k.receiveTime << " " << k.pseudorange;
  }
}

TEST(CodePhase, SweepOverTheSecondKeepsTheReaderWithinHalfACount) {
  for (int i = 0; i < 20000; ++i) {
    const double t = 1000.0 + i * 0.000137;
    const double pr = 19e6 + i * 431.77;
    EXPECT_NEAR(readerPseudorange(t, codePhaseFor(t, pr)), pr, halfCount + 1e-6) << t;
  }
}

TEST(CodePhase, MatchesTheWorkedCountForAQuarterSecond) {
  // 1 048 576 counts at 100.25 s read back as 74 798 071.745 m.
  EXPECT_EQ(codePhaseFor(100.25, readerPseudorange(100.25, 1048576)), 1048576);
  EXPECT_EQ(codePhaseFor(100.0, readerPseudorange(100.0, 1048576)), 1048576);
}

TEST(CarrierWord, PacksWholeCyclesFractionAndFlags) {
  struct Case {
    double cycles;
    unsigned flags;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {0.0, 0, 0x00000000},
      {0.5, 0, 0x00000800},
      {1.0, 1, 0x00001001},
      {0.0, 2, 0x00000002},
      {1048575.9990234375, 3, 0xFFFFFFFF},
      {1048576.0, 0, 0x00000000},  // wraps at 2^20 cycles
      {1048576.0 * 5 + 3.25, 0, 0x00003400},
      {-1.0 / 1024.0, 0, 0xFFFFFFFC},  // negative phases wrap from the top
      {-1048576.0 * 3 - 2.0, 1, 0xFFFFE001},
      {1.0 / 2048.0, 0, 0x00000004},  // half a step rounds up
      {1.0 / 4096.0, 0, 0x00000000},
      {123.0, 7, 0x0007B003},  // only two flag bits exist
  };
  for (const Case& k : cases) {
    EXPECT_EQ(packCarrierWord(k.cycles, k.flags), k.expected) << k.cycles;
  }
}

TEST(CarrierWord, DecodedPhaseIsTheAccumulatedPhaseModulo2To20) {
  for (double cycles = 1048000.0; cycles < 1049500.0; cycles += 7.3) {
    const double raw = readerPhase(packCarrierWord(cycles, 0));
    EXPECT_NEAR(raw, std::fmod(cycles, 1048576.0), 1.0 / 2048.0 + 1e-9) << cycles;
  }
}

TEST(SignalByte, GrowsWithElevationFromAbout30To50DbHz) {
  EXPECT_EQ(signalByteFor(0.0, 0.0), 120);
  EXPECT_EQ(signalByteFor(1.0, 0.0), 200);
  EXPECT_EQ(signalByteFor(-0.5, 0.0), 120);  // below the horizon counts as the horizon
  EXPECT_EQ(signalByteFor(1.0, 40.0), 255);  // clamped, not wrapped
  EXPECT_EQ(signalByteFor(0.0, -40.0), 0);
  int previous = 0;
  for (double s = 0.0; s <= 1.0; s += 0.01) {
    const int b = signalByteFor(s, 0.0);
    EXPECT_GE(b, previous);
    previous = b;
  }
}

}  // namespace
}  // namespace zlogsim
