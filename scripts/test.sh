#!/usr/bin/env bash
# Runs every test of Nerin Station on a Debian machine, installing what it
# lacks: first the layering of src/ (scripts/check-layers.sh), then the
# portable core's unit tests natively (with AddressSanitizer and
# UndefinedBehaviorSanitizer), a short run of every fuzz target (scripts/
# fuzz.sh --short), then the Windows build's test programs (among them the
# MindVision camera build's, against a fake SDK) and the end-to-end runs of
# the whole program under Wine on a virtual display.
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/ensure-packages.sh fuzz || { echo "could not install the build tools"; exit 1; }

status=0

echo "== Layering of src/: includes point down one ladder, no loops of files"
bash scripts/check-layers.sh || status=1

echo "== Native build and unit tests"
if cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug; then
  if cmake --build build/native -j"$jobs"; then
    ctest --test-dir build/native --output-on-failure -j"$jobs" || status=1
  else
    echo "native build failed"; status=1
  fi
else
  echo "native configure failed"; status=1
fi

echo "== Fuzz targets, short runs (clang, libFuzzer)"
bash scripts/fuzz.sh --short || status=1

echo "== Windows build and Wine tests"
if cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release; then
  if cmake --build build/win -j"$jobs"; then
    tests/harness/with-wine.sh ctest --test-dir build/win --output-on-failure || status=1
  else
    echo "Windows build failed"; status=1
  fi
else
  echo "Windows configure failed"; status=1
fi

if [ "$status" -eq 0 ]; then echo "== All tests passed"; else echo "== Some tests FAILED"; fi
exit "$status"
