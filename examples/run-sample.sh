#!/usr/bin/env bash
# Builds kapolex and converts the bundled sample log in a scratch folder,
# answering the week prompt from examples/week.txt.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# A user's build: optimised, without the tests, warnings shown but not fatal.
cmake -S . -B build-sample -DCMAKE_BUILD_TYPE=Release -DKAPOLEX_BUILD_TESTS=OFF >/dev/null
cmake --build build-sample --parallel "$(nproc 2>/dev/null || echo 2)" --target kapolex >/dev/null
scratch="$(mktemp -d)"
cp examples/z.log "$scratch/z.log"
cd "$scratch"
echo "== converting in $scratch (week answer: $(cat "$root/examples/week.txt"))"
status=0
"$root/build-sample/src/kapolex" < "$root/examples/week.txt" || status=$?
echo
echo "== exit status $status; head of z.obs ($(wc -l < z.obs) lines):"
head -n 30 z.obs
exit "$status"
