#!/bin/sh
# Runs a Windows program under wine for the cross build's tests: the
# toolchain file names this script as the emulator, so test discovery, ctest
# and the shell tests all come through here.
#
# Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# The prefix is $WINEPREFIX (the windows preset sets it inside the build
# folder), else ~/.wine. The first call starts the wine server and its
# services with their output on /dev/null and keeps them for a minute past
# the last program: started by a test instead, they would keep the test's
# output pipe open, and ctest would wait for them at every test.
set -eu
export WINEDEBUG=-all
# No dialogue offering to install Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
# wine hands arguments to the program through the locale's character set;
# anything but UTF-8 would mangle non-ASCII names.
export LC_ALL=C.UTF-8
prefix=${WINEPREFIX:-$HOME/.wine}
export WINEPREFIX="$prefix"
mkdir -p "$prefix"

# One caller at a time starts the server; the others wait for it.
exec 9> "$prefix.lock"
flock 9
status=0
wineserver -p60 < /dev/null > /dev/null 2>&1 || status=$?
case $status in
  0) # freshly started: make the prefix on the first run, start the services
    wine wineboot --init < /dev/null > /dev/null 2>&1 ;;
  2) ;; # already running
  *) echo "wine-run.sh: the wine server did not start (status $status)" >&2; exit 1 ;;
esac
flock -u 9
exec 9>&-

exec wine "$@"
