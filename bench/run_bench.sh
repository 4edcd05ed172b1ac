#!/usr/bin/env bash
# Whole-program benchmark: kapolex against the I/O floor of the same bytes.
#
# Synthesises two deterministic logs with zlogsim, twelve channels in every
# message: 1 Hz, of which one epoch in five is kept, and 0.2 Hz, of which
# every epoch is kept. Then, for each log, it times in turn, interleaved,
# kapolex and the I/O floor: reading the log (cat log > /dev/null) plus
# writing as many bytes as z.obs has (dd from /dev/zero in 1 MiB blocks).
# Two ways, each run for every log:
#   cached  the log is read from the page cache (after a warm-up read) and
#           the writes end in the page cache: the floor is memory speed.
#   disk    the log is dropped from the page cache before every run, and the
#           written bytes are forced to the disk before the clock stops
#           (kapolex, then sync -d z.obs; dd with conv=fdatasync).
# Reports medians of the runs: kapolex's wall-clock time and its processor
# time (user and system, GNU time), log MB/s (10^6 bytes per second), the
# ratio kapolex / floor, the ratio to the first way listed, peak resident
# memory (GNU time), and the machine's load.
# kapolex can be run in several ways, each timed against its own floor:
#   plain   as an operator runs it: z.log to z.obs, the week at the prompt
#   stdin   kapolex -w 1356 - -o - < z.log > z.obs
#   pipe    cat z.log | kapolex -w 1356 - -o - > z.obs
#   qc      kapolex -w 1356 --qc qc.txt --plot plot.svg: the conversion with
#           the quality check and its plot (their bytes are not in the floor)
#   rinex3  kapolex -w 1356 --rinex-version 3: z.obs in RINEX 3.04
#   split   kapolex -w 1356 --split day -o split: a file per GPS day in the
#           folder split (the floor writes as many bytes as all of them)
#   crx     kapolex -w 1356 --crx -o z.obs: Compact RINEX (its epochs are
#           not counted: the epoch lines are differences)
#   crx-gzip  kapolex -w 1356 --crx --gzip -o z.obs: Compact RINEX, gzip'd
#           (the epochs of gzip'd files are not counted either)
#   gzip    kapolex -w 1356 --gzip -o z.obs: RINEX, gzip'd
#   pipe-gzip  kapolex -w 1356 -o - | gzip -6 > z.obs: RINEX through gzip's
#           own program (processor time and memory are kapolex's alone)
#
# Usage: bench/run_bench.sh [--build DIR] [--size SIZE] [--kept-size SIZE]
#                           [--runs N] [--mode cached|disk|both]
#                           [--ways LIST] [--work DIR] [--keep]
#   --build DIR       build folder with src/kapolex and zlogsim/zlogsim
#                     (default: build-bench, as made by the bench preset)
#   --size SIZE       size of the 1 Hz log, zlogsim suffixes K, M, G (default 1G)
#   --kept-size SIZE  size of the 0.2 Hz log (default 1G)
#   --runs N          runs of each measurement (default 5)
#   --mode MODE       cached, disk or both (default both)
#   --ways LIST       comma-separated ways to run kapolex: plain, stdin, pipe,
#                     qc, rinex3, split, crx, crx-gzip, gzip, pipe-gzip
#                     (default plain)
#   --work DIR        scratch folder (default: a new one under /tmp, removed
#                     at the end unless --keep); needs about the size of the
#                     larger log plus twice its z.obs (8 GB with the defaults)
# Nothing is asserted about the figures: the exit status says only whether
# every run converted its log.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=build-bench
size=1G
keptSize=1G
runs=5
mode=both
ways=plain
work=
keep=false
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --kept-size) keptSize=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --mode) mode=$2; shift 2 ;;
    --ways) ways=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --keep) keep=true; shift ;;
    -h|--help) sed -n '2,51p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run_bench.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case $mode in
  cached) modes=(cached) ;;
  disk) modes=(disk) ;;
  both) modes=(cached disk) ;;
  *) echo "run_bench.sh: --mode is cached, disk or both" >&2; exit 2 ;;
esac
IFS=',' read -r -a wayList <<< "$ways"
for way in "${wayList[@]}"; do
  case $way in
    plain|stdin|pipe|qc|rinex3|split|crx|crx-gzip|gzip|pipe-gzip) ;;
    *) echo "run_bench.sh: --ways lists plain, stdin, pipe, qc, rinex3, split, crx, crx-gzip," \
         "gzip or pipe-gzip" >&2; exit 2 ;;
  esac
done
case $build in /*) ;; *) build=$repo/$build ;; esac
kapolex=$build/src/kapolex
zlogsim=$build/zlogsim/zlogsim
for program in "$kapolex" "$zlogsim"; do
  if [ ! -x "$program" ]; then
    echo "run_bench.sh: $program is missing; build it first:" >&2
    echo "  cmake --preset bench && cmake --build --preset bench" >&2
    exit 2
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "run_bench.sh: /usr/bin/time (GNU time) is needed for the peak memory" >&2
  exit 2
fi
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/kapolex-bench.XXXXXX)
else
  mkdir -p "$work"
fi
cleanup() { if [ "$keep" = false ]; then rm -rf "$work"; fi; }
trap cleanup EXIT

# Runs kapolex one way in the log's folder, console output to console.txt.
runKapolex() {
  local way=$1
  case $way in
    plain) /usr/bin/time -v -o time.txt "$kapolex" < week.txt > console.txt ;;
    stdin) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 - -o - < z.log > z.obs 2> console.txt ;;
    pipe) cat z.log | /usr/bin/time -v -o time.txt "$kapolex" -w 1356 - -o - > z.obs 2> console.txt ;;
    qc) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --qc qc.txt --plot plot.svg > console.txt ;;
    rinex3) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --rinex-version 3 > console.txt ;;
    split) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --split day -o split > console.txt ;;
    crx) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --crx -o z.obs > console.txt ;;
    crx-gzip) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --crx --gzip -o z.obs > console.txt ;;
    gzip) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 --gzip -o z.obs > console.txt ;;
    pipe-gzip) /usr/bin/time -v -o time.txt "$kapolex" -w 1356 -o - 2> console.txt |
      gzip -6 > z.obs ;;
  esac
}

# The observation files a way writes.
observationFiles() {
  if [ "$1" = split ]; then
    printf '%s\n' "$dir"/split/*
  else
    echo "$dir/z.obs"
  fi
}

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
  if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
loadAverage() { cut -d' ' -f1-3 /proc/loadavg; }
# Drops the file's pages from the page cache (it must not be dirty).
evict() { dd if="$1" iflag=nocache count=0 status=none; }

echo "kapolex benchmark: $(nproc) cores, load average $(loadAverage) at the start"
echo "programs: $kapolex, $zlogsim"
echo "scratch: $work; $runs runs of each; medians"
echo

# name | zlogsim rate | size
cases=("1Hz-1in5-kept|1|$size" "0.2Hz-all-kept|0.2|$keptSize")
results=()
status=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name rate caseSize <<< "$entry"
  dir=$work/$name
  mkdir -p "$dir"
  # A fixed seed, week and start; with the elevation mask below the horizon
  # every message carries twelve channels.
  "$zlogsim" -o "$dir/z.log" --rate "$rate" --size "$caseSize" --mask -10 --seed 1 --week 1356
  sync -d "$dir/z.log"
  echo 1356 > "$dir/week.txt"
  logBytes=$(stat -c %s "$dir/z.log")

  for how in "${modes[@]}"; do
    declare -A walls=() floors=() reads=() rss=() cpu=() obsBytes=() messages=() epochs=()
    [ "$how" = cached ] && cat "$dir/z.log" > /dev/null
    # The ways take turns within each run, so that none of them meets the
    # page cache's write-back of the others' output more than they do.
    for ((run = 1; run <= runs; run++)); do
      for way in "${wayList[@]}"; do
        rm -rf "$dir/z.obs" "$dir/floor.out" "$dir/split"
        mkdir "$dir/split"
        [ "$how" = disk ] && evict "$dir/z.log"
        start=$EPOCHREALTIME
        if ! (cd "$dir" && runKapolex "$way"); then
          echo "run_bench.sh: kapolex failed on $name, $way:" >&2
          cat "$dir/time.txt" >&2
          status=1
          continue
        fi
        mapfile -t written < <(observationFiles "$way")
        [ "$how" = disk ] && sync -d "${written[@]}"
        end=$EPOCHREALTIME
        walls[$way]+=" $(elapsed "$start" "$end")"
        rss[$way]+=" $(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")"
        cpu[$way]+=" $(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 }
          END { printf "%.2f", u + s }' "$dir/time.txt")"
        obsBytes[$way]=$(cat "${written[@]}" | wc -c)
        # What the output holds: epoch lines (in RINEX 2 epoch flag 0 in
        # columns 27-29, in RINEX 3 a '>' first) after each file's header,
        # against the measurement messages that the summary counted.
        messages[$way]=$(awk '/id= *23 / { print $NF }' "$dir/console.txt")
        epochs[$way]=$(awk 'FNR == 1 { header = 1; rinex3 = substr($0, 6, 1) == "3" }
          header { if (index($0, "END OF HEADER")) header = 0; next }
          rinex3 ? /^>/ : substr($0, 27, 3) == "  0"' "${written[@]}" | wc -l)

        [ "$how" = disk ] && evict "$dir/z.log"
        durable=()
        [ "$how" = disk ] && durable=(conv=fdatasync)
        start=$EPOCHREALTIME
        cat "$dir/z.log" > /dev/null
        middle=$EPOCHREALTIME
        dd if=/dev/zero of="$dir/floor.out" bs=1M count="${obsBytes[$way]}" iflag=count_bytes \
          "${durable[@]}" status=none
        end=$EPOCHREALTIME
        floors[$way]+=" $(elapsed "$start" "$end")"
        reads[$way]+=" $(elapsed "$start" "$middle")"
      done
    done

    firstWall=
    for way in "${wayList[@]}"; do
      [ -n "${walls[$way]:-}" ] || continue
      # shellcheck disable=SC2086
      wall=$(median ${walls[$way]})
      # shellcheck disable=SC2086
      floor=$(median ${floors[$way]})
      # shellcheck disable=SC2086
      peak=$(median ${rss[$way]})
      # shellcheck disable=SC2086
      processor=$(median ${cpu[$way]})
      [ -n "$firstWall" ] || firstWall=$wall
      results+=("$(awk -v n="$name" -v h="$how" -v way="$way" -v lb="$logBytes" \
          -v ob="${obsBytes[$way]}" -v w="$wall" -v f="$floor" -v r="$peak" \
          -v m="${messages[$way]:-0}" -v e="${epochs[$way]}" -v first="$firstWall" \
          -v c="$processor" 'BEGIN {
        printf "%-15s %-6s %-6s %8.1f %8.1f %8d/%-8d %9.3f %6.2f %8.3f %8.1f %6.2f %6.2f %8.1f",
          n, h, way, lb / 1e6, ob / 1e6, e, m, w, c, f, lb / 1e6 / w, w / f, w / first,
          r / 1024 }')")
      echo "$name, $how, $way: kapolex${walls[$way]} s; floor${floors[$way]} s, of which" \
        "reading${reads[$way]} s"
    done
    unset walls floors reads rss cpu obsBytes messages epochs
  done
  rm -rf "$dir/z.obs" "$dir/floor.out" "$dir/z.log" "$dir/split"
done

echo
printf '%-15s %-6s %-6s %8s %8s %17s %9s %6s %8s %8s %6s %6s %8s\n' case floor way "log MB" \
  "obs MB" "epochs/messages" "kapolex s" "CPU s" "floor s" "log MB/s" ratio "vs 1st" "RSS MiB"
printf '%s\n' "${results[@]}"
echo
echo "load average $(loadAverage) at the end"
exit "$status"
