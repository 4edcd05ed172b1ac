// A run that follows its log while another program still writes it: after
// the end of a regular file it waits for more, reads on in the new file when
// the log is renamed and started again under its name, and from the start
// when it is cut short. A pipe or standard input is read as it comes and its
// end ends the run. A stop request, or --idle-exit seconds without a byte,
// ends the run as the end of a log ends it; --finish-after seconds without
// a byte finish a period's file that the clock says is over.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "common/platform.hpp"
#include "common/utc_clock.hpp"
#include "run/run_driver.hpp"

namespace kapolex {

// When a followed run next has something to do without a byte of the log:
// end for --idle-exit, or finish a period's file. In milliseconds from now,
// or -1 for nothing to do.
struct FollowTimes {
  std::int64_t sinceLastByteMilliseconds = 0;
  std::int32_t idleExitSeconds = 0;  // 0 for never
  std::int32_t finishAfterSeconds = 0;
  std::optional<std::int64_t> openPeriodEnd;  // in whole GPS seconds
  std::int64_t gpsNow = 0;                    // the clock, in whole GPS seconds

  // How long the run may wait for the log before it must look again.
  std::int64_t waitMilliseconds() const;
  // Whether the run has idled long enough to end.
  bool idleExitDue() const;
  // The whole GPS second by which a period must have ended to have its
  // file finished now; none while bytes came too recently.
  std::optional<std::int64_t> periodsEndedBy() const;
};

// The clocks a followed run decides by: the computer's clock, for when a
// period is over, and a steady clock in milliseconds, for how long no byte
// came. Behind a seam, so that a test can let hours pass at once.
struct FollowClocks {
  UtcClock utc;
  std::function<std::int64_t()> steadyMilliseconds;
};

// The machine's clocks.
FollowClocks systemFollowClocks();

// Feeds run its log until the run ends: at the log's end (a pipe's), a
// stop request seen by watch, or --idle-exit.
void followLog(ProgramRun& run, platform::LogWatch& watch, const FollowClocks& clocks);

}  // namespace kapolex
