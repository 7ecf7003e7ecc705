#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers (build/bench) and
# runs them; arguments go to Google Benchmark (e.g. --benchmark_filter=Focus).
# Each case reports its ratio to a baseline measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/ensure-packages.sh
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DNERIN_SANITIZE=OFF >/dev/null
cmake --build build/bench -j2 --target nerin_bench
build/bench/bench/nerin_bench "$@"
