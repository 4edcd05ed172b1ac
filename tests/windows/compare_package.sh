#!/bin/sh
# Converts the same logs with the Windows package's kapolex.exe under wine
# and with a native kapolex, and fails unless both give the same bytes: the
# observation file (apart from header line 2, the run's date and time), the
# quality reports, the plot, the console, the diagnostics and the exit
# status. The logs are the package's sample and zlogsim logs, clean and
# damaged (garbage, damaged headers, a cut last message, a week end), and
# one converted into RINEX 3 hourly files and into a standard-named file of
# a time window. It also fails when a document in the zip links to a file
# the zip does not hold.
#
# Usage: compare_package.sh ZIP KAPOLEX ZLOGSIM WINE_RUN
#   ZIP       kapolex-<version>-win64.zip
#   KAPOLEX   the native program, ZLOGSIM the native log synthesiser
#   WINE_RUN  cmake/wine-run.sh, with WINEPREFIX set as the caller wants
set -eu
zip=$(realpath "$1") kapolex=$(realpath "$2") zlogsim=$(realpath "$3") wine=$(realpath "$4")

work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
(cd "$work" && unzip -q "$zip")
exe=$(echo "$work"/kapolex-*-win64/kapolex.exe)
sample=$(dirname "$exe")/examples

# One log, converted on both sides in a folder of its own. Arguments after
# the log's name are the options of both runs.
compare() {
  name=$1 log=$2
  shift 2
  for side in linux windows; do
    mkdir -p "$work/$name/$side"
    cp "$log" "$work/$name/$side/z.log"
  done
  status=0
  (cd "$work/$name/linux" && "$kapolex" "$@" < "$sample/week.txt" > out.txt 2> err.txt) ||
    status=$?
  echo "$status" > "$work/$name/linux/status"
  status=0
  (cd "$work/$name/windows" && "$wine" "$exe" "$@" < "$sample/week.txt" > out.txt 2> err.txt) ||
    status=$?
  echo "$status" > "$work/$name/windows/status"
  for side in linux windows; do
    # Every observation file: z.obs, or those named by their epochs.
    for obs in "$work/$name/$side"/z.obs "$work/$name/$side"/*.rnx "$work/$name/$side"/*.[0-9][0-9]o; do
      [ -f "$obs" ] || continue
      sed 2d "$obs" > "$obs.undated"
      rm "$obs"
    done
    # Compact RINEX has the run's UTC date on line 2 and the RINEX run date
    # on line 4; gzip'd files are compared as they decompress.
    for obs in "$work/$name/$side"/*.crx "$work/$name/$side"/*.[0-9][0-9]d; do
      [ -f "$obs" ] || continue
      sed '2d;4d' "$obs" > "$obs.undated"
      rm "$obs"
    done
    for obs in "$work/$name/$side"/*.gz; do
      [ -f "$obs" ] || continue
      case $obs in *.crx.gz|*[0-9][0-9]d.gz) dated='2d;4d' ;; *) dated=2d ;; esac
      gzip -t "$obs" || echo "broken gzip: $obs" >> "$work/$name/$side/err.txt"
      gzip -dc "$obs" | sed "$dated" > "$obs.undated"
      rm "$obs"
    done
    rm "$work/$name/$side/z.log"
  done
  # Diagnostics name the log by its full path, which differs by system.
  sed -i 's/, file .*$/, file (path)/' "$work/$name/linux/err.txt" "$work/$name/windows/err.txt"
  if diff -r "$work/$name/linux" "$work/$name/windows" > "$work/$name.diff"; then
    files=$(find "$work/$name/linux" -name '*.undated' | wc -l)
    bytes=$(find "$work/$name/linux" -name '*.undated' -exec cat {} + | wc -c)
    echo "same: $name (status $(cat "$work/$name/linux/status"), $files observation files, $bytes bytes)"
  else
    echo "DIFFERENT: $name" >&2
    head -20 "$work/$name.diff" >&2
    failed=1
  fi
}

# Every relative link of the zip's documents leads to a file in the zip.
check_links() {
  root=$(dirname "$exe")
  find "$root" -name '*.md' | while read -r document; do
    folder=$(dirname "$document")
    grep -o '](\([^):#][^):]*\))' "$document" | sed 's/^](\(.*\))$/\1/; s/#.*$//' |
      while read -r target; do
        if [ ! -e "$folder/$target" ]; then
          echo "DEAD LINK: ${document#"$root"/} -> $target" >&2
          echo dead
        fi
      done
  done
}

failed=0
if [ -n "$(check_links)" ]; then failed=1; else echo "same: every link in the zip's documents leads to a file in it"; fi
compare sample "$sample/z.log"
compare sample-qc "$sample/z.log" --qc q.txt --qc-json q.json --plot p.svg --snr
logs=$work/logs
mkdir "$logs"
"$zlogsim" -o "$logs/clean.log" --size 4M --mask -10 --seed 5
"$zlogsim" -o "$logs/damaged.log" --rate 0.2 --size 2M --other 1 --garbage 0.01 \
  --corrupt 0.01 --cross-week-end --seed 7
"$zlogsim" -o "$logs/cut.log" --rate 10 --id 151 --size 1M --truncate --seed 3 --slips 5 \
  --lock-loss 5 --outage 30,20
compare clean "$logs/clean.log"
compare damaged "$logs/damaged.log" --qc q.txt --plot p.svg
compare cut "$logs/cut.log" -w 1356 --interval 1
"$zlogsim" -o "$logs/hours.log" --rate 0.2 --duration 10800 --sow 302400 --seed 11
compare hourly-rinex3 "$logs/hours.log" -w 1356 --rinex-version 3 --split hour --station PIL7
compare hourly-crx-gzip "$logs/hours.log" -w 1356 --crx --gzip --split hour --station PIL7
compare window-named "$logs/hours.log" -w 1356 --standard-name --marker-name PIL7 \
  --start '2006-01-04 12:30:00' --end 2006-01-04T13:30:00
exit "$failed"
