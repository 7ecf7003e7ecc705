#!/usr/bin/env bash
# Fuzzes every parser of outside input with clang's libFuzzer, natively, with
# AddressSanitizer and UndefinedBehaviorSanitizer, in its own build folder
# (build/fuzz), installing clang and libFuzzer when they are missing.
#
#   scripts/fuzz.sh [SECONDS]  runs each target for SECONDS seconds in turn
#                              (default 60), growing its working corpus in
#                              build/fuzz/work/<target>, and shows libFuzzer's
#                              closing line for each;
#   scripts/fuzz.sh --short    runs each target for a fixed number of inputs
#                              from a fixed seed (the stage test.sh runs).
#
# Exits non-zero on any finding: a crash, a sanitizer report, a broken
# property, a hang, a leak or running out of memory. The input that caused it
# is kept in build/fuzz/work/<target>/findings/ (short runs: build/fuzz/
# tests/fuzz/short/<target>/findings/); running the target with that file as
# its argument replays it.
set -uo pipefail
cd "$(dirname "$0")/.."
mode=${1:-60}
case $mode in
  --short) ;;
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS | --short]"; exit 2 ;;
esac

bash scripts/ensure-packages.sh fuzz || { echo "could not install clang and libFuzzer"; exit 1; }
cmake -S . -B build/fuzz -DNERIN_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || { echo "fuzz configure failed"; exit 1; }
cmake --build build/fuzz -j2 >/dev/null || { echo "fuzz build failed"; cmake --build build/fuzz -j1; exit 1; }

if [ "$mode" = --short ]; then
  exec ctest --test-dir build/fuzz --output-on-failure -j2
fi

status=0
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  work=build/fuzz/work/$target
  mkdir -p "$work"
  bash tests/fuzz/run-target.sh "build/fuzz/tests/fuzz/$target" "${seeds%/}" "$work" \
    -max_total_time="$mode" >"$work/log" 2>&1
  rc=$?
  done_line=$(grep '^Done ' "$work/log" | tail -n 1)
  printf '%-26s %s\n' "$target" "${done_line:-(no closing line)}"
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "  FINDING (exit $rc), from $work/log:"
    grep -E 'ERROR|SUMMARY|runtime error|property broken|Test unit written' "$work/log" | sed 's/^/    /'
  fi
done
[ "$status" -eq 0 ] && echo "== No findings" || echo "== Findings: see above"
exit "$status"
