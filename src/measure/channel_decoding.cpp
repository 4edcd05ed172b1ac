#include "measure/channel_decoding.hpp"

#include <cmath>

#include "common/numeric.hpp"

namespace kapolex {

std::int32_t MAPSNR(std::int32_t raw) {
  return nearestInteger(static_cast<double>(raw) * signalStepReciprocal) + 1;
}

std::int32_t channelPrn(std::uint8_t prnByte) {
  return (prnByte & 0x3F) + 1;
}

std::int32_t lossOfLockDigit(std::uint32_t carrierWord) {
  return (carrierWord & 3u) != 0 ? 5 : 4;
}

double rawCarrierPhase(std::uint32_t carrierWord) {
  // The receiver reports whole cycles in the top 20 bits, unsigned, and the
  // fraction in the 10 bits below; the sum is exact in a double.
  const std::uint32_t whole = carrierWord >> 12;
  const std::uint32_t fraction = (carrierWord >> 2) & 0x3FFu;
  return static_cast<double>(whole) + static_cast<double>(fraction) * phaseFractionUnit;
}

double secondFraction(double receiveTime) {
  return std::fmod(receiveTime, 1.0);
}

double pseudorange(double fraction, std::int32_t codePhase) {
  // The code phase is the transmit time's offset within the receiver's whole
  // second; a negative travel time means the second had just turned over.
  // The order of the steps fixes the printed digits.
  const double codeTime = static_cast<double>(codePhase) * codePhaseUnit;
  double travel = fraction - codeTime;
  if (travel < 0.0) travel = travel + 1.0;
  return travel * speedOfLight;
}

ChannelMeasurement decodeChannel(const ChannelRecord& record, double fraction) {
  ChannelMeasurement channel;
  channel.prn = channelPrn(record.prnByte);
  channel.lossOfLock = lossOfLockDigit(record.carrierWord);
  channel.signalFlag = MAPSNR(MYBYTE(record.signalByte));
  channel.carrierPhase = rawCarrierPhase(record.carrierWord);
  channel.pseudorange = pseudorange(fraction, record.codePhase);
  return channel;
}

}  // namespace kapolex
