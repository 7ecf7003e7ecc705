#!/usr/bin/env bash
# Runs the whole reliability matrix under Wine: every device failing in the
# middle of every run it takes part in, a confirmed stop at more than 20
# moments of each run, each run ended by closing the main window and by the
# end of the session, faults followed by a stop, and devices failing during
# the exit (about six minutes), and a hundred saves of every kind of result
# file over four runs of the program in one minute. Every test run
# (scripts/test.sh) takes only a representative case of each kind. Prints the figures at the end (a hang or
# a crash ends the program, which prints them first with that case counted);
# exits non-zero when any case did not go as designed, a run hung or the
# program crashed.
#
#   scripts/reliability.sh [gtest filter, e.g. 'Matrix/Stop.*']
set -uo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/ensure-packages.sh || { echo "could not install the build tools"; exit 1; }
log=$(mktemp "${TMPDIR:-/tmp}/reliability.XXXXXX")
if ! { cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build/win -j"$jobs" --target reliability_win_tests result_files_tests; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "build failed"
  rm -f "$log"
  exit 1
fi

program="$here/build/win/tests/reliability/with_fakes/reliability_win_tests.exe"
NERIN_RELIABILITY=full tests/harness/with-wine.sh \
  python3 tests/devices/motion/arduino_emulator.py --com 27 -- \
  tests/harness/wine-run.sh "$program" --gtest_filter="${1:-*}" >"$log" 2>&1
rc=$?
saves_log=$(mktemp "${TMPDIR:-/tmp}/reliability-saves.XXXXXX")
NERIN_RELIABILITY=full tests/harness/with-wine.sh tests/harness/wine-run.sh \
  "$here/build/win/tests/results/no_camera/result_files_tests.exe" --gtest_filter='*Hundred*' >"$saves_log" 2>&1 || rc=1
grep -E '^\[( +OK|  FAILED) +\]' "$saves_log" >>"$log"

grep -E '^\[( +OK|  FAILED) +\]|^HANG|^CRASH' "$log"
echo "== Figures"
if grep -q '^FIGURE' "$log"; then
  sed -n 's/^FIGURE //p' "$log"
else
  echo "no figures: the program ended early (crash or hang); its last lines:"
  tail -n 20 "$log"
  rc=1
fi
grep '^result files written' "$saves_log" || { echo "no figure from the result files' saves; their last lines:"; tail -n 20 "$saves_log"; rc=1; }
rm -f "$log" "$saves_log"
exit "$rc"
