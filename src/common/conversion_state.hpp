// The run-wide state: created by the run driver before the week dialogue and
// handed down by reference to everything that reads or changes it.
#pragma once

#include <array>
#include <cstdint>

namespace kapolex {

// A 32-bit logical as the system stores it: false 0, true all bits set.
constexpr std::int32_t logicalFalse = 0;
constexpr std::int32_t logicalTrue = -1;

// A logical is tested on its lowest bit only.
constexpr bool isTrue(std::int32_t logical) {
  return (logical & 1) != 0;
}

constexpr int prnCount = 32;
constexpr int messageIdCount = 256;

struct ConversionState {
  // GPS week: the operator's answer, raised by one at each week rollover.
  std::int32_t week = 0;
  // Receive time of the last measurement message that was not screened out.
  double previousReceiveTime = 0.0;
  // True from the fixed header lines until the first kept epoch closes it.
  std::int32_t headerPending = logicalFalse;
  // Carrier-phase rollover history, indexed by PRN - 1. The wrap count is
  // kept in 64 bits so that no log, however long, can overflow it.
  std::array<double, prnCount> previousRawPhase{};
  std::array<std::int64_t, prnCount> wrapCount{};
  // Framed messages per ID; 64 bits so that a huge log cannot overflow them.
  std::array<std::int64_t, messageIdCount> messageCounts{};
};

}  // namespace kapolex
