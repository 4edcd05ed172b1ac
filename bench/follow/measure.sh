#!/bin/bash
# What following a log costs, measured in a scratch folder (Linux: /proc,
# GNU time, python3, mkfifo):
#   idle     CPU time and wake-ups (voluntary context switches) over 60 s of
#            waiting at the end of a log;
#   latency  the delay from an epoch's last byte appended to its lines in the
#            observation file (every epoch kept), see latency.py;
#   week     a simulated week at 1 Hz followed through a FIFO as fast as it
#            comes, and appended to a growing file in 4 KiB pieces, against
#            a normal run: CPU time, peak resident memory, and whether the
#            168 hourly files are the normal run's (header line 2 apart).
# Usage: bench/follow/measure.sh [BUILD_DIR] [idle|latency|week]...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
shift || true
kapolex=$build/src/kapolex
zlogsim=$build/zlogsim/zlogsim
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

idle() {
  : > live.log
  /usr/bin/time -f "idle: user %U s, system %S s, peak RSS %M KiB" -o idle.time \
    "$kapolex" -w 1356 --follow --split hour -o . live.log > /dev/null 2>&1 &
  local timer=$!
  sleep 0.5
  local pid
  pid=$(tr -d ' ' < "/proc/$timer/task/$timer/children")
  local before after
  before=$(awk '/voluntary_ctxt_switches/ {s += $2} END {print s}' "/proc/$pid/status")
  sleep 60
  after=$(awk '/voluntary_ctxt_switches/ {s += $2} END {print s}' "/proc/$pid/status")
  kill -INT "$pid"
  wait "$timer"
  echo "idle: $((after - before)) context switches in 60 s"
  cat idle.time
}

latency() {
  "$zlogsim" --week 1356 --sow 3500 --duration 60 --mask -10 -o small.log
  python3 "$here/latency.py" "$kapolex" small.log
}

week() {
  "$zlogsim" --week 1356 --sow 0 --duration 604800 --mask -10 -o week.log
  mkdir fifo chunks normal
  mkfifo week.fifo
  /usr/bin/time -f "fifo: user %U s, system %S s, peak RSS %M KiB" \
    "$kapolex" -q -w 1356 --follow --split hour -o fifo week.fifo > /dev/null &
  cat week.log > week.fifo
  wait
  : > grow.log
  /usr/bin/time -f "chunks: user %U s, system %S s, peak RSS %M KiB" \
    "$kapolex" -q -w 1356 --follow --idle-exit 1 --split hour -o chunks grow.log > /dev/null &
  dd if=week.log of=grow.log bs=4k oflag=append conv=notrunc status=none
  wait
  /usr/bin/time -f "normal: user %U s, system %S s, peak RSS %M KiB" \
    "$kapolex" -q -w 1356 --split hour -o normal week.log
  local file differ=0
  for file in normal/*; do
    for way in fifo chunks; do
      cmp -s <(sed 2d "$file") <(sed 2d "$way/${file#normal/}") || differ=$((differ + 1))
    done
  done
  echo "week: $(ls normal | wc -l) hourly files, $differ differ from the normal run's"
}

for what in "${@:-idle latency week}"; do
  for step in $what; do "$step"; done
done
