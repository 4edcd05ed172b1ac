#include "receiver_log/channel_decoding.hpp"

#include <cmath>
#include <cstdint>

namespace kapolex {

double secondFraction(double receiveTime) {
  // The remainder of a division by 1.0 is exact, and so is t less its integer
  // part for 0 <= t < 2^52: below 1 nothing is taken off (a negative zero
  // stays one, as the remainder keeps the dividend's sign), and from 1 on the
  // integer part is at least half of t. The library's remainder costs more
  // than the rest of a message's decoding, so it is kept for other times.
  if (receiveTime >= 0.0 && receiveTime < 0x1p52) {
    return receiveTime - static_cast<double>(static_cast<std::int64_t>(receiveTime));
  }
  return std::fmod(receiveTime, 1.0);
}

}  // namespace kapolex
