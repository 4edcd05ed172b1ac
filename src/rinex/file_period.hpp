// The span of time an observation file stands for, as standard names state
// it ("15M", "01H", "01D"): a count of one unit. The units, their lengths
// and their letters live here only, for the names and for the splitting of
// a run's files alike.
#pragma once

#include <cstdint>

namespace kapolex {

// A period's unit; its value is the letter that names state it by.
enum class PeriodUnit : char { minute = 'M', hour = 'H', day = 'D', year = 'Y' };

class FilePeriod {
 public:
  // The most units a name's two digits state.
  static constexpr std::int32_t largestCount = 99;

  // count units, 1 to largestCount of them.
  constexpr FilePeriod(std::int32_t count, PeriodUnit unit) : count_(count), unit_(unit) {}

  // The period a name states for data that cover the given whole seconds
  // from their nominal start: rounded up to whole minutes below an hour,
  // whole hours below a day, whole days up to 99 days, and whole years of
  // 365 days beyond that (99 at most). Anything below one minute is one
  // minute.
  static FilePeriod covering(std::int64_t seconds);

  constexpr std::int32_t count() const { return count_; }
  constexpr PeriodUnit unit() const { return unit_; }
  // The unit's letter in a name: 'M', 'H', 'D' or 'Y'.
  constexpr char unitCode() const { return static_cast<char>(unit_); }

  // The period's length in whole seconds; a year has 365 days.
  std::int64_t seconds() const;

  // Whether a period of minutes or hours that starts at the given minute of
  // an hour ends within that hour, so that RINEX 2 may name its file by the
  // hour's letter. A day or longer never does.
  bool endsWithinHourFrom(std::int32_t minute) const;

  friend bool operator==(const FilePeriod&, const FilePeriod&) = default;

 private:
  std::int32_t count_;
  PeriodUnit unit_;
};

inline constexpr FilePeriod dailyPeriod{1, PeriodUnit::day};
inline constexpr FilePeriod hourlyPeriod{1, PeriodUnit::hour};

}  // namespace kapolex
