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
#   tests/harness/wine-tests.sh --programs N <build dir>
#
# N defaults to the number of processors. With --when, the worlds are made
# at once, while the build that makes the programs still runs; the build
# tells by lines it adds to FILE which entries may run: "first <n>" (the n
# longest), "entries <names>" (their programs are built), "all", or
# "failed" (no more will be; the entries never run count as failed).
# --programs prints the targets that the N entries run first need, for a
# build to make them first.
# Exits non-zero when any entry failed or a world could not be made.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

workers=$(nproc 2>/dev/null || echo 2)
when="" programs=""
if [ "${1:-}" = -j ]; then workers=$2; shift 2; fi
if [ "${1:-}" = --when ]; then when=$2; shift 2; fi
if [ "${1:-}" = --programs ]; then programs=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [-j N] [--when FILE] <build dir> [ctest selection...]"; exit 2; }
build=$(realpath -m "$1")
shift

# Entries known to take long, for a tree that has no durations yet.
long_first=(reliability_win_tests runs_win_tests console_devices_tests remote_control_e2e main_window_tests motion_win_tests)

run=$(mktemp -d "${TMPDIR:-/tmp}/nerin-wine-tests.XXXXXX")
trap 'rm -rf "$run"' EXIT
durations="$build/Testing/wine-durations.txt"

# Every entry, longest first: the last measured seconds, else the list
# above, else ctest's order.
list_entries() {
  ctest --test-dir "$build" -N "$@" | sed -n 's/^ *Test *#[0-9]*: //p' >"$run/listed"
  while read -r name; do
    seconds=$(awk -v n="$name" '$2 == n { print $1 }' "$durations" 2>/dev/null | tail -n 1)
    if [ -z "$seconds" ]; then
      seconds=0
      for i in "${!long_first[@]}"; do
        [ "${long_first[$i]}" = "$name" ] && seconds=$((1000 - i))
      done
    fi
    echo "$seconds $name"
  done <"$run/listed" | sort -s -k1,1nr | cut -d' ' -f2 >"$run/pending"
}

if [ -n "$programs" ]; then
  # The targets of the programs the first entries run (a target is named as
  # its program), and the program itself, which end-to-end entries start.
  # An entry whose command runs a copy made by a target of another name
  # names that target in its NERIN_TEST_TARGETS variable.
  list_entries
  {
    echo NerinStation
    head -n "$programs" "$run/pending" | while read -r name; do
      ctest --test-dir "$build" -N -V -R "^$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$" >"$run/entry"
      sed -n 's/^.*Test command: //p' "$run/entry" | grep -o '[^"/ ]*\.exe' | sed 's/\.exe$//'
      sed -n 's/^[0-9]*: *NERIN_TEST_TARGETS=//p' "$run/entry" | tr ';,' '\n\n'
    done
  } | sort -u
  exit 0
fi

# The worlds first: making a Wine prefix takes a while, mostly waiting, and
# can go on while the build runs. Each worker takes the next entry of the
# queue; it waits while the queue is empty until the queue is final.
mkdir -p "$run/logs"
: >"$run/progress"
: >"$run/queue"
# One prefix made for all worlds, each a copy of it (with-wine.sh).
"$here/with-wine.sh" bash -c 'cp -al "$WINEPREFIX" "$1"' copy "$run/prefix" >"$run/prefix.log" 2>&1 ||
  { echo "no Wine prefix could be made:"; cat "$run/prefix.log"; exit 1; }
export NERIN_WINE_TEMPLATE="$run/prefix"
for w in $(seq 1 "$workers"); do
  # A test folder of its own per worker, reading the real tree's entries, so
  # that the ctest calls side by side do not share their Testing/ files.
  mkdir -p "$run/ctest$w"
  printf 'subdirs("%s")\n' "$build" >"$run/ctest$w/CTestTestfile.cmake"
  "$here/with-wine.sh" bash "$here/wine-worker.sh" "$run" "$w" >"$run/world$w.log" 2>&1 &
  pids+=($!)
done

# ready <names...|all>: moves entries from pending to the queue, in the
# pending order (longest first); "all" moves the rest and makes the queue
# final. Under the queue's lock, which the workers take too.
ready() {
  (
    flock 9
    if [ "$1" = all ]; then
      cat "$run/pending" >>"$run/queue"
      : >"$run/pending"
      touch "$run/queue.final"
    else
      printf '%s\n' "$@" | grep -Fxf - "$run/pending" >>"$run/queue"
      printf '%s\n' "$@" | grep -vFxf - "$run/pending" >"$run/pending.rest"
      mv "$run/pending.rest" "$run/pending"
    fi
  ) 9>"$run/queue.lock"
}

if [ -z "$when" ]; then
  list_entries "$@"
  ready all
else
  until [ -s "$when" ]; do sleep 0.5; done
  list_entries "$@"
fi
total=$(wc -l <"$run/listed")
if [ "$total" -eq 0 ]; then
  echo "no test entries in $build"
  touch "$run/queue.final"
fi
echo "$total entries, $workers Wine worlds"
tail -n +1 -f "$run/progress" &
progress_pid=$!
if [ -n "$when" ]; then
  seen=0
  until [ -e "$run/queue.final" ]; do
    lines=$(wc -l <"$when")
    while [ "$seen" -lt "$lines" ]; do
      seen=$((seen + 1))
      read -r word names < <(sed -n "${seen}p" "$when")
      case $word in
        first) ready $(head -n "$names" "$run/pending") ;;
        entries) ready $names ;;
        all) ready all ;;
        *) touch "$run/queue.final" ;;
      esac
    done
    sleep 0.5
  done
fi
status=0
[ "$total" -gt 0 ] || status=1
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
  # (entries not run this time keep their last figure)
  { awk '{ print $2, $3 }' "$run/results"; cat "$durations" 2>/dev/null; } | awk '!seen[$2]++' >"$run/durations"
  mv "$run/durations" "$durations"
fi
echo "== Wine entries, seconds each (worlds side by side):"
sort -k2,2nr "$run/results" 2>/dev/null | awk '{ printf "  %-7s %4d s  %s\n", $1, $2, $3 }'
if [ "${#failed[@]}" -eq 0 ]; then
  echo "== All $total Wine entries passed"
else
  echo "== Wine entries failed: ${failed[*]}"
fi
exit "$status"
