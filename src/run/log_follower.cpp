#include "run/log_follower.hpp"

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>

#include "common/file_handle.hpp"
#include "run/fixed_names.hpp"

namespace kapolex {

namespace {

constexpr std::int64_t millisecondsPerSecond = 1000;

// One followed log: the file or pipe read now, how far, and since when no
// byte came.
class Follower {
 public:
  Follower(ProgramRun& run, platform::LogWatch& watch, const FollowClocks& clocks)
      : run_(run),
        watch_(watch),
        clocks_(clocks),
        options_(run.commandLine().options),
        regularFile_(run.logIsRegularFile()),
        log_(run.logHandle()),
        lastByte_(clocks.steadyMilliseconds()) {}

  void follow() {
    // A pipe is read only when it has bytes or has ended, so that a stop
    // request is never held up by a read that waits.
    bool readable = false;
    while (run_.wantsLog()) {
      if (regularFile_ || readable) {
        readable = false;
        const std::ptrdiff_t got = feed();
        if (got > 0) continue;
        if (got < 0 || !regularFile_) break;
        if (followRotationOrTruncation()) continue;
      }
      const platform::LogWatch::Wake wake =
          watch_.wait(regularFile_ ? platform::invalidHandle : log_, waitMilliseconds());
      if (wake == platform::LogWatch::Wake::stop) {
        run_.logStopped();
        break;
      }
      readable = wake == platform::LogWatch::Wake::change;
      if (!keepWaiting()) break;
    }
  }

 private:
  // Reads once into the run: the count read, 0 at the end (the run ended
  // when the log is a pipe), or -1 when the read failed and stopped the run.
  std::ptrdiff_t feed() {
    const std::span<std::uint8_t> space = run_.logSpace();
    const std::ptrdiff_t got = platform::readSome(log_, space.data(), space.size());
    if (got > 0) {
      run_.logAdded(static_cast<std::size_t>(got));
      offset_ += static_cast<std::uint64_t>(got);
      lastByte_ = clocks_.steadyMilliseconds();
    } else if (got < 0) {
      run_.logReadFailed();
    } else if (!regularFile_) {
      run_.logEnded();
    }
    return got;
  }

  // At the end of the file read: whether it was cut short, so that it is
  // read again from its start, or its name now leads to a new file, which
  // is read on once the old one is read to its end.
  bool followRotationOrTruncation() {
    const std::optional<platform::FileState> open = platform::fileState(log_);
    if (open && open->size < offset_ && platform::rewind(log_)) {
      offset_ = 0;
      run_.remark(truncationRemark);
      return true;
    }
    const std::optional<platform::FileState> named = platform::fileStateAt(run_.logPath());
    if (!open || !named || named->sameFileAs(*open)) return false;
    // What the writer added to the old file before it moved on.
    while (run_.wantsLog()) {
      const std::ptrdiff_t got = feed();
      if (got < 0) return false;
      if (got == 0) break;
    }
    const platform::OpenedFile next = platform::openForReading(run_.logPath());
    if (next.failure != platform::OpenFailure::none) return false;
    successor_ = FileHandle(next.handle);
    log_ = successor_.get();
    offset_ = 0;
    watch_.rewatch();
    run_.remark(rotationRemark);
    return true;
  }

  FollowTimes times() const {
    return {clocks_.steadyMilliseconds() - lastByte_, options_.idleExitSeconds,
            options_.finishAfterSeconds, run_.openPeriodEnd(),
            gpsSecondsOfUtc(clocks_.utc.readSeconds())};
  }

  int waitMilliseconds() const {
    const std::int64_t wait = times().waitMilliseconds();
    return static_cast<int>(std::min<std::int64_t>(wait, INT_MAX));
  }

  // After a wait: ends the run for --idle-exit, or finishes a period's file
  // that is over; false once the run has ended.
  bool keepWaiting() {
    const FollowTimes now = times();
    if (now.idleExitDue()) {
      run_.logStopped();
      return false;
    }
    if (const std::optional<std::int64_t> ended = now.periodsEndedBy()) {
      run_.finishPeriodEndedBy(*ended);
    }
    return run_.wantsLog();
  }

  ProgramRun& run_;
  platform::LogWatch& watch_;
  const FollowClocks& clocks_;
  const RunOptions& options_;
  bool regularFile_;
  platform::NativeHandle log_;
  FileHandle successor_;      // the file read since a rotation
  std::uint64_t offset_ = 0;  // bytes read from the file read now
  std::int64_t lastByte_;     // the steady clock's reading
};

}  // namespace

std::int64_t FollowTimes::waitMilliseconds() const {
  std::optional<std::int64_t> wait;
  if (idleExitSeconds > 0) {
    wait = idleExitSeconds * millisecondsPerSecond - sinceLastByteMilliseconds;
  }
  if (openPeriodEnd) {
    // Both must hold: no byte for finishAfter, and the clock past the
    // period's end by as much. The clock reads whole seconds, so waiting
    // for its difference in seconds never wakes too early.
    const std::int64_t quiet =
        finishAfterSeconds * millisecondsPerSecond - sinceLastByteMilliseconds;
    const std::int64_t clock =
        (*openPeriodEnd + finishAfterSeconds - gpsNow) * millisecondsPerSecond;
    const std::int64_t finish = std::max(quiet, clock);
    wait = wait ? std::min(*wait, finish) : finish;
  }
  return wait ? std::max<std::int64_t>(*wait, 0) : -1;
}

bool FollowTimes::idleExitDue() const {
  return idleExitSeconds > 0 &&
         sinceLastByteMilliseconds >= idleExitSeconds * millisecondsPerSecond;
}

std::optional<std::int64_t> FollowTimes::periodsEndedBy() const {
  if (sinceLastByteMilliseconds < finishAfterSeconds * millisecondsPerSecond) return std::nullopt;
  return gpsNow - finishAfterSeconds;
}

FollowClocks systemFollowClocks() {
  return {systemUtcClock(), [] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
          }};
}

void followLog(ProgramRun& run, platform::LogWatch& watch, const FollowClocks& clocks) {
  Follower(run, watch, clocks).follow();
}

}  // namespace kapolex
