// The lengths of the period units and the rounding of a span up to a period.
#include "rinex/file_period.hpp"

#include <algorithm>

#include "common/gps_constants.hpp"

namespace kapolex {

namespace {

constexpr std::int64_t wholeSecondsPerYear = 365 * wholeSecondsPerDay;

constexpr std::int64_t secondsOf(PeriodUnit unit) {
  switch (unit) {
    case PeriodUnit::minute:
      return wholeSecondsPerMinute;
    case PeriodUnit::hour:
      return wholeSecondsPerHour;
    case PeriodUnit::day:
      return wholeSecondsPerDay;
    case PeriodUnit::year:
      break;
  }
  return wholeSecondsPerYear;
}

// The count of whole units that covers seconds, rounded up.
std::int64_t unitsCovering(std::int64_t seconds, PeriodUnit unit) {
  return (seconds + secondsOf(unit) - 1) / secondsOf(unit);
}

FilePeriod periodOf(std::int64_t count, PeriodUnit unit) {
  return {static_cast<std::int32_t>(count), unit};
}

}  // namespace

FilePeriod FilePeriod::covering(std::int64_t seconds) {
  const std::int64_t minutes =
      unitsCovering(std::max<std::int64_t>(seconds, 1), PeriodUnit::minute);
  if (minutes < 60) return periodOf(minutes, PeriodUnit::minute);
  const std::int64_t hours = unitsCovering(seconds, PeriodUnit::hour);
  if (hours < 24) return periodOf(hours, PeriodUnit::hour);
  const std::int64_t days = unitsCovering(seconds, PeriodUnit::day);
  if (days <= largestCount) return periodOf(days, PeriodUnit::day);
  const std::int64_t years = unitsCovering(seconds, PeriodUnit::year);
  return periodOf(std::min<std::int64_t>(years, largestCount), PeriodUnit::year);
}

std::int64_t FilePeriod::seconds() const {
  return count_ * secondsOf(unit_);
}

bool FilePeriod::endsWithinHourFrom(std::int32_t minute) const {
  if (unit_ != PeriodUnit::minute && unit_ != PeriodUnit::hour) return false;
  return seconds() <= (60 - std::int64_t{minute}) * wholeSecondsPerMinute;
}

}  // namespace kapolex
