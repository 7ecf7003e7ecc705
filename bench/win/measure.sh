#!/usr/bin/env bash
# The Windows-side figures, under Wine on a virtual display (a throwaway
# prefix of tests/harness): the live-video tick and its parts, GDI objects
# and memory over 10,000 frames (video_bench), a map scan against its
# mandated pauses and the drawing of the largest map (map_bench), and the
# processor share of the whole program with live video running, measured
# from outside the process against the same program idle with video off.
#
#   bench/win/measure.sh [seconds-per-phase]      default 20
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}
bash scripts/ensure-packages.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j2 --target NerinStation wintool video_bench map_bench >/dev/null
exec tests/harness/with-wine.sh bash bench/win/cpu_share.sh "$seconds"
