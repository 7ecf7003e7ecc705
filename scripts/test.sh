#!/usr/bin/env bash
# Runs every test of Nerin Station on a Debian machine, installing what it
# lacks: first the layering of src/ (scripts/check-layers.sh), then the
# Windows build's test programs (among them the MindVision camera build's,
# against a fake SDK) and the end-to-end runs of the whole program under Wine
# on virtual displays, several side by side (tests/harness/wine-tests.sh);
# then the portable core's unit tests natively (with AddressSanitizer and
# UndefinedBehaviorSanitizer) and a short run of every fuzz target
# (scripts/fuzz.sh --short). Each stage's output is shown
# when it has ended, with its time.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/ensure-packages.sh fuzz || { echo "could not install the build tools"; exit 1; }

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

native_stage() {
  cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null || { echo "native configure failed"; return 1; }
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
if stage "Windows build" windows_build; then
  show_stage "Windows build" | tail -n 3
  # The Wine tests alone on the machine: some cases wait for keyboard focus
  # and the foreground window, which a loaded machine can keep from them.
  echo "== Wine tests"
  tests/harness/wine-tests.sh -j "$jobs" build/win || status=1
  stage "Native build and unit tests" native_stage || status=1
  show_stage "Native build and unit tests" | grep -v '^\[\|^-- \|Test *#'
  stage "Fuzz targets, short runs (clang, libFuzzer)" bash scripts/fuzz.sh --short || status=1
  show_stage "Fuzz targets, short runs (clang, libFuzzer)" | grep -v 'Test *#'
else
  status=1
  show_stage "Windows build"
  stage "Native build and unit tests" native_stage || status=1
  show_stage "Native build and unit tests"
  stage "Fuzz targets, short runs (clang, libFuzzer)" bash scripts/fuzz.sh --short || status=1
  show_stage "Fuzz targets, short runs (clang, libFuzzer)"
fi

if [ "$status" -eq 0 ]; then echo "== All tests passed"; else echo "== Some tests FAILED"; fi
exit "$status"
