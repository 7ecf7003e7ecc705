#!/usr/bin/env bash
# Runs every test of Nerin Station on a Debian machine, installing what it
# lacks: first the layering of src/ (scripts/check-layers.sh), then the
# Windows build's test programs (among them the MindVision camera build's,
# against a fake SDK) and the end-to-end runs of the whole program under Wine
# on virtual displays, several side by side (tests/harness/wine-tests.sh);
# beside those, at the lowest priority, the portable core's unit tests
# natively (clang, with AddressSanitizer and UndefinedBehaviorSanitizer) and a
# short run of every fuzz target (scripts/fuzz.sh --short). Each stage's
# output is shown when it has ended, with its time.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/ensure-packages.sh fuzz || { echo "could not install the build tools"; exit 1; }
# Ninja for build folders made now (a folder keeps the generator it was
# made with): it keeps both processors busy across targets.
command -v ninja >/dev/null && export CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja}

status=0
logs=$(mktemp -d "${TMPDIR:-/tmp}/nerin-test.XXXXXX")
trap 'rm -rf "$logs"' EXIT

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
# time g++ takes with the sanitizers on (the fuzz stage needs clang anyway).
native_stage() {
  cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    >/dev/null || { echo "native configure failed"; return 1; }
  cmake --build build/native -j"$jobs" || { echo "native build failed"; return 1; }
  ctest --test-dir build/native --output-on-failure -j"$jobs"
}

windows_build() {
  cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null ||
    { echo "Windows configure failed"; return 1; }
  cmake --build build/win -j"$jobs" || { echo "Windows build failed"; return 1; }
}

stage "Layering of src (includes point down one ladder, no loops of files)" bash scripts/check-layers.sh || status=1
show_stage "Layering of src (includes point down one ladder, no loops of files)"

# The Windows build first, since the Wine tests need it and take longest.
# The native and fuzz stages then run beside the Wine tests, which spend
# much of their time waiting on the programs they drive; at the lowest
# priority, so that the windows under test still get the processor (and the
# keyboard focus) when they need it. Their output is shown after the Wine
# tests'.
core_stages() {
  stage "Native build and unit tests" native_stage
  stage "Fuzz targets, short runs (clang, libFuzzer)" bash scripts/fuzz.sh --short
}
# The Wine worlds are made while the build runs.
tests/harness/wine-tests.sh -j "$jobs" --when "$logs/built" build/win &
wine_pid=$!
if stage "Windows build" windows_build; then
  show_stage "Windows build" | tail -n 3
  (renice -n 19 -p "$BASHPID" >/dev/null; core_stages) &
  core_pid=$!
  echo "== Wine tests"
  echo go >"$logs/built"
  wait "$wine_pid" || status=1
  wait "$core_pid"
  show_stage "Native build and unit tests" | grep -v '^\[\|^-- \|Test *#'
  show_stage "Fuzz targets, short runs (clang, libFuzzer)" | grep -v 'Test *#'
else
  status=1
  echo failed >"$logs/built"
  wait "$wine_pid"
  show_stage "Windows build"
  core_stages
  show_stage "Native build and unit tests"
  show_stage "Fuzz targets, short runs (clang, libFuzzer)"
fi
for name in "Native build and unit tests" "Fuzz targets, short runs (clang, libFuzzer)"; do
  [ "$(cat "$logs/$name.rc" 2>/dev/null)" = 0 ] || status=1
done

if [ "$status" -eq 0 ]; then echo "== All tests passed"; else echo "== Some tests FAILED"; fi
exit "$status"
