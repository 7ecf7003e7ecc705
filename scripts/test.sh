#!/usr/bin/env bash
# Runs every test of Nerin Station on a Debian machine, installing what it
# lacks: first the layering of src/ (scripts/check-layers.sh), then the
# Windows build's test programs (among them the MindVision camera build's,
# against a fake SDK) and the end-to-end runs of the whole program under Wine
# on virtual displays, several side by side (tests/harness/wine-tests.sh);
# beside those, at the lowest priority, the portable core's unit tests
# natively (clang, with AddressSanitizer and UndefinedBehaviorSanitizer) and,
# from the same build, a short run of every fuzz target. Each stage's output
# is shown when it has ended, with its time.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
# One Wine world more than processors: the entries spend much of their time
# waiting on the programs they drive.
worlds=$((jobs + 1))

bash scripts/ensure-packages.sh fuzz || { echo "could not install the build tools"; exit 1; }
# Ninja for build folders made now (a folder keeps the generator it was
# made with): it keeps both processors busy across targets.
command -v ninja >/dev/null && export CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja}

status=0
logs=$(mktemp -d "${TMPDIR:-/tmp}/nerin-test.XXXXXX")
trap 'rm -rf "$logs"' EXIT
# What the Windows build tells the Wine tests (tests/harness/wine-tests.sh --when).
ready="$logs/ready"
: >"$ready"
native="Native build, unit tests and short fuzz runs"

# stage <name> <command...>: runs the command with its output in a log of
# its own, then shows the log and the time taken.
show_stage() {
  echo "== $1"
  cat "$logs/$1.log"
  echo "   ($1: $(cat "$logs/$1.time") s, exit $(cat "$logs/$1.rc"))"
}
stage() {
  local name=$1 start rc
  shift
  start=$(date +%s)
  "$@" >"$logs/$name.log" 2>&1
  rc=$?
  echo $(($(date +%s) - start)) >"$logs/$name.time"
  echo "$rc" >"$logs/$name.rc"
  return "$rc"
}

# The portable core natively with clang, which builds it in about half the
# time g++ takes with the sanitizers on, and builds the fuzz targets from the
# same objects (libFuzzer is clang's). With line tables only: they are all a
# sanitizer's report needs (the file and line of every frame), and full
# debug information makes the compile a third slower.
native_stage() {
  cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
    >/dev/null || { echo "native configure failed"; return 1; }
  cmake --build build/native -j"$jobs" || { echo "native build failed"; return 1; }
  ctest --test-dir build/native --output-on-failure -j"$jobs"
}

# The Windows build in two steps: first what the longest Wine entries need
# (the code under test, the fakes, the program and their test programs),
# entry by entry, each let run as soon as its programs are built: two more
# than there are Wine worlds, so that the next long entries are ready when
# the first ones end, long before the rest of the build is done.
first_entries=$((worlds + 2))
windows_build_first() {
  cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null ||
    { echo "Windows configure failed"; return 1; }
  local n targets
  for n in $(seq 1 "$first_entries"); do
    targets=$(tests/harness/wine-tests.sh --programs "$n" build/win) || return 1
    echo "First $n: $(echo $targets)"
    cmake --build build/win -j"$jobs" --target $targets || { echo "Windows build failed"; return 1; }
    echo "first 1" >>"$ready"
  done
}
windows_build_rest() {
  cmake --build build/win -j"$jobs" || { echo "Windows build failed"; return 1; }
}

stage "Layering of src (includes point down one ladder, no loops of files)" bash scripts/check-layers.sh || status=1
show_stage "Layering of src (includes point down one ladder, no loops of files)"

# The Wine tests take longest: their worlds are made while the build runs,
# and the longest entries start as soon as their programs are built. The
# rest of the Windows build runs beside the Wine tests, which spend much of
# their time waiting on the programs they drive; at a lower priority, so
# that the windows under test still get the processor when they need them.
# Its output and the native stage's are shown after the Wine tests'.
tests/harness/wine-tests.sh -j "$worlds" --when "$ready" build/win &
wine_pid=$!
# The native stage from the start, at the lowest priority: it takes the
# processor time the Windows build leaves (its precompiled header and its
# links keep one processor alone for long stretches) and the Wine tests.
(renice -n 19 -p "$BASHPID" >/dev/null; stage "$native" native_stage) &
native_pid=$!
if stage "Windows build, the longest Wine entries' programs" windows_build_first; then
  show_stage "Windows build, the longest Wine entries' programs" | grep -v '^\['
  echo "== Wine tests"
  (
    renice -n 10 -p "$BASHPID" >/dev/null
    if stage "Windows build, the rest" windows_build_rest; then echo all; else echo failed; fi >>"$ready"
  ) &
  rest_pid=$!
  wait "$wine_pid" || status=1
  wait "$rest_pid"
  wait "$native_pid"
  show_stage "Windows build, the rest" | tail -n 3
  [ "$(cat "$logs/Windows build, the rest.rc")" = 0 ] || { status=1; show_stage "Windows build, the rest"; }
  show_stage "$native" | grep -v '^\[\|^-- \|Test *#'
else
  status=1
  echo failed >>"$ready"
  wait "$wine_pid"
  show_stage "Windows build, the longest Wine entries' programs"
  wait "$native_pid"
  show_stage "$native"
fi
[ "$(cat "$logs/$native.rc" 2>/dev/null)" = 0 ] || status=1

if [ "$status" -eq 0 ]; then echo "== All tests passed"; else echo "== Some tests FAILED"; fi
exit "$status"
