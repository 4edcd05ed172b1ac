#!/bin/sh
# Runs zlogsim and kapolex in a fresh folder and compares SHA-256 sums of what
# they produced with stored values, so that any change of a digit, a line or
# a summary count in a whole conversion is caught. Line 2 of z.obs holds the
# run's own date and time and is left out of the sum.
#
# Usage: check_output.sh ZLOGSIM KAPOLEX WORK WEEK LOG_SUM OBS_SUM CONSOLE_SUM
#                        [zlogsim options...]
# $KAPOLEX_RUNNER, when set, is put in front of each program (the emulator
# of a cross build, such as wine).
# Each stored sum can be taken again by hand in the folder of a run:
#   sha256sum < z.log;  sed 2d z.obs | sha256sum;  sha256sum < console.txt
set -eu
zlogsim=$1 kapolex=$2 work=$3 week=$4 logSum=$5 obsSum=$6 consoleSum=$7
shift 7
runner=${KAPOLEX_RUNNER:-}

rm -rf "$work"
mkdir -p "$work"
cd "$work"

$runner "$zlogsim" -o z.log "$@"
# GNU's sha256sum, or the shasum that macOS has.
if command -v sha256sum > /dev/null 2>&1; then
  sum() { sha256sum | cut -d' ' -f1; }
else
  sum() { shasum -a 256 | cut -d' ' -f1; }
fi

# The stored sums were taken from a converter whose output was checked line
# by line; they hold only for the log that zlogsim wrote then.
got=$(sum < z.log)
if [ "$got" != "$logSum" ]; then
  echo "zlogsim now writes a different log for these options (SHA-256 $got);" \
       "the stored sums of z.obs and of the console must be taken again with a" \
       "converter known to be right" >&2
  exit 1
fi

status=0
printf '%s\n' "$week" | $runner "$kapolex" > console.txt 2> errors.txt || status=$?
if [ "$status" -ne 0 ] || [ -s errors.txt ]; then
  echo "kapolex ended with status $status:" >&2
  cat errors.txt >&2
  exit 1
fi

failed=0
got=$(sed 2d z.obs | sum)
if [ "$got" != "$obsSum" ]; then
  echo "z.obs without line 2 has SHA-256 $got, expected $obsSum" >&2
  failed=1
fi
got=$(sum < console.txt)
if [ "$got" != "$consoleSum" ]; then
  echo "the console output has SHA-256 $got, expected $consoleSum" >&2
  failed=1
fi
# A failing run is left in place for inspection.
if [ "$failed" -eq 0 ]; then
  cd / && rm -rf "$work"
fi
exit "$failed"
