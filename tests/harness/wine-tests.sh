#!/usr/bin/env bash
# Runs the ctest entries of a Windows build tree under Wine, several at a
# time: each worker is a throwaway Wine world of its own (with-wine.sh: its
# own prefix, display and wineserver), so programs running side by side never
# see each other's windows, COM ports, registry or data folders. The workers
# take the entries from one queue, the longest first (as measured by the last
# run of this tree, or as listed below on a fresh tree), each in its own ctest
# call. Each entry's output is kept and shown at the end for those that
# failed; a line per entry tells progress.
#
#   tests/harness/wine-tests.sh [-j N] [--when FILE] <build dir> [ctest selection, e.g. -R stage]
#
# N defaults to the number of processors. With --when, the worlds are made
# at once and the entries wait until FILE exists (the build that makes them
# is still running): it holds "go", or anything else to end without running.
# Exits non-zero when any entry failed or a world could not be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

workers=$(nproc 2>/dev/null || echo 2)
when=""
if [ "${1:-}" = -j ]; then workers=$2; shift 2; fi
if [ "${1:-}" = --when ]; then when=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [-j N] [--when FILE] <build dir> [ctest selection...]"; exit 2; }
build=$(realpath -m "$1")
shift

# Entries known to take long, for a tree that has no durations yet.
long_first=(reliability_win_tests mapping_win_tests remote_control_e2e console_devices_tests motion_win_tests result_files_tests
            main_window_tests console_startup_tests spectroscopy_win_tests)

run=$(mktemp -d "${TMPDIR:-/tmp}/nerin-wine-tests.XXXXXX")
trap 'rm -rf "$run"' EXIT
durations="$build/Testing/wine-durations.txt"

# The worlds first: making a Wine prefix takes a while, mostly waiting, and
# can go on while the build ends. Each worker takes entries once the queue
# is ready (an empty queue ends it).
mkdir -p "$run/logs"
: >"$run/progress"
for w in $(seq 1 "$workers"); do
  # A test folder of its own per worker, reading the real tree's entries, so
  # that the ctest calls side by side do not share their Testing/ files.
  mkdir -p "$run/ctest$w"
  printf 'subdirs("%s")\n' "$build" >"$run/ctest$w/CTestTestfile.cmake"
  "$here/with-wine.sh" bash "$here/wine-worker.sh" "$run" "$w" >"$run/world$w.log" 2>&1 &
  pids+=($!)
done
end_early() {
  : >"$run/queue"
  touch "$run/queue.ready"
  wait "${pids[@]}" 2>/dev/null
  exit "$1"
}
if [ -n "$when" ]; then
  until [ -e "$when" ]; do sleep 1; done
  [ "$(cat "$when")" = go ] || end_early 1
fi

ctest --test-dir "$build" -N "$@" | sed -n 's/^ *Test *#[0-9]*: //p' >"$run/listed"
[ -s "$run/listed" ] || { echo "no test entries in $build"; end_early 1; }
# Longest first: the last measured seconds, else the list above, else ctest's order.
{
  while read -r name; do
    seconds=$(awk -v n="$name" '$2 == n { print $1 }' "$durations" 2>/dev/null | tail -n 1)
    if [ -z "$seconds" ]; then
      seconds=0
      for i in "${!long_first[@]}"; do
        [ "${long_first[$i]}" = "$name" ] && seconds=$((1000 - i))
      done
    fi
    echo "$seconds $name"
  done <"$run/listed"
} | sort -s -k1,1nr | cut -d' ' -f2 >"$run/queue"
total=$(wc -l <"$run/queue")
echo "$total entries, $workers Wine worlds"
touch "$run/queue.ready"
tail -n +1 -f "$run/progress" &
progress_pid=$!
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
kill "$progress_pid" 2>/dev/null
wait "$progress_pid" 2>/dev/null

# The worlds' own complaints (a prefix that could not be made) and the
# output of every entry that failed or never ran.
for w in $(seq 1 "$workers"); do
  if [ -s "$run/world$w.log" ]; then echo "== Wine world $w:"; cat "$run/world$w.log"; fi
done
failed=()
while read -r name; do
  result=$(awk -v n="$name" '$3 == n { print $1 }' "$run/results" 2>/dev/null)
  case $result in
    passed) ;;
    "") failed+=("$name (did not run)"); status=1 ;;
    *) failed+=("$name"); status=1; echo "== Output of $name:"; cat "$run/logs/$name.log" ;;
  esac
done <"$run/listed"

# Durations for the next run's order.
if [ -s "$run/results" ]; then
  mkdir -p "$(dirname "$durations")"
  awk '{ print $2, $3 }' "$run/results" >"$durations"
fi
echo "== Wine entries, seconds each (worlds side by side):"
sort -k2,2nr "$run/results" 2>/dev/null | awk '{ printf "  %-7s %4d s  %s\n", $1, $2, $3 }'
if [ "${#failed[@]}" -eq 0 ]; then
  echo "== All $total Wine entries passed"
else
  echo "== Wine entries failed: ${failed[*]}"
fi
exit "$status"
