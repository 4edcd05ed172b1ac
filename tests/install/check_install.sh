#!/bin/sh
# Installs the build into a scratch prefix, checks that the programs and the
# manual page are where they belong, and converts the bundled sample with the
# installed kapolex and with the built one: z.obs (without line 2, the run's
# date and time) and the console must be the same.
#
# Usage: check_install.sh CMAKE BUILD_DIR CONFIG WORK BUILT_KAPOLEX EXAMPLES
#                         KAPOLEX ZLOGSIM [FILE...]
# KAPOLEX and ZLOGSIM are where the programs belong in the prefix, and each
# FILE another file that must be there. $KAPOLEX_RUNNER, when set, is put in
# front of each program (the emulator of a cross build, such as wine).
set -eu
cmake=$1 build=$2 config=$3 work=$4 built=$5 examples=$6 kapolex=$7 zlogsim=$8
shift 8
runner=${KAPOLEX_RUNNER:-}

rm -rf "$work"
mkdir -p "$work/installed" "$work/built"
unset DESTDIR
"$cmake" --install "$build" --config "$config" --prefix "$work/prefix" > "$work/install.txt"

failed=0
for file in "$kapolex" "$zlogsim" "$@"; do
  if [ ! -f "$work/prefix/$file" ]; then
    echo "the install step did not put $file into the prefix" >&2
    failed=1
  fi
done
for program in "$kapolex" "$zlogsim"; do
  if [ -f "$work/prefix/$program" ] && [ ! -x "$work/prefix/$program" ]; then
    echo "$program is installed but not executable" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1

$runner "$work/prefix/$zlogsim" --help > /dev/null

convert() {
  cp "$examples/z.log" "$work/$1/z.log"
  (cd "$work/$1" && $runner "$2" < "$examples/week.txt" > console.txt 2> errors.txt) || {
    echo "$1 kapolex ended with status $?:" >&2
    cat "$work/$1/errors.txt" >&2
    exit 1
  }
  sed 2d "$work/$1/z.obs" > "$work/$1/z.obs.undated"
}
convert installed "$work/prefix/$kapolex"
convert built "$built"
for file in z.obs.undated console.txt errors.txt; do
  if ! cmp -s "$work/installed/$file" "$work/built/$file"; then
    echo "the installed kapolex's $file differs from the built one's" >&2
    failed=1
  fi
done
if ! grep -q 'END OF HEADER' "$work/installed/z.obs"; then
  echo "the installed kapolex wrote no observation header" >&2
  failed=1
fi
# A failing run is left in place for inspection.
if [ "$failed" -eq 0 ]; then
  cd / && rm -rf "$work"
fi
exit "$failed"
