#!/bin/sh
# Renders the manual page as man would, with every groff warning enabled:
# any warning (an unknown macro, a line that cannot be broken, a bad escape)
# fails the test, and so does a page that lacks its main sections or one of
# the options that the program's --help lists. Skips where groff is not
# installed.
#
# Usage: check_manual.sh PAGE KAPOLEX
# $KAPOLEX_RUNNER, when set, is put in front of the program (the emulator of
# a cross build, such as wine).
set -eu
page=$1
kapolex=$2
runner=${KAPOLEX_RUNNER:-}
if ! command -v groff > /dev/null 2>&1; then
  echo "skipped: groff is not installed, so the manual page cannot be rendered here"
  exit 77
fi
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "groff warns about $page:" >&2
  printf '%s\n' "$warnings" >&2
  exit 1
fi
text=$(groff -man -Tutf8 -P-cbou "$page")
case $text in
  *NAME*kapolex*SYNOPSIS*DESCRIPTION*OPTIONS*FILES*"EXIT STATUS"*) ;;
  *)
    echo "the rendered page lacks one of its main sections:" >&2
    printf '%s\n' "$text" >&2
    exit 1
    ;;
esac
for option in $($runner "$kapolex" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  case $text in
    *"$option"*) ;;
    *)
      echo "the manual page does not document $option" >&2
      exit 1
      ;;
  esac
done
