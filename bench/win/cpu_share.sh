#!/usr/bin/env bash
# Inside the Wine harness (see measure.sh): runs video_bench and map_bench,
# then the real program, and reads its processor time from /proc while live
# video runs and then while it idles with video off.
set -uo pipefail
seconds=$1
here=$(pwd)
program="$here/build/win/bin/NerinStation.exe"
wintool="$here/build/win/tools/wintool.exe"

wine "$here/build/win/bench/win/video_bench.exe"
bench_status=$?
wine "$here/build/win/bench/win/map_bench.exe" || bench_status=1

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

percent() { awk -v d="$1" -v t="$ticks_per_second" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * d / t / s }'; }

# The helpers that work on the program's behalf: this prefix's wineserver
# (messages, timers) and this display's X server (every picture put on the
# window ends up there). Found by reading /proc only.
helper_pids() {
  for p in /proc/[0-9]*; do
    case "$(cat "$p/comm" 2>/dev/null)" in
      wineserver*) tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "${p#/proc/}" ;;
      Xvfb) tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -q "^Xvfb $DISPLAY " && echo "${p#/proc/}" ;;
    esac
  done
}

# Processor shares over the given seconds, in percent of a core: the program
# (printed first) and its helpers together (second).
shares() {
  local pid=$1 before after helpers_before=0 helpers_after=0 h
  before=$(cpu_ticks "$pid")
  for h in $helpers; do helpers_before=$((helpers_before + $(cpu_ticks "$h"))); done
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  for h in $helpers; do helpers_after=$((helpers_after + $(cpu_ticks "$h"))); done
  echo "$(percent $((after - before))) $(percent $((helpers_after - helpers_before)))"
}

wine "$program" >"$NERIN_TEST_ROOT/program.txt" 2>&1 &
pid=$!
wine "$wintool" ready 120000 >/dev/null || { echo "the program did not come up"; exit 1; }
if ! tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q NerinStation.exe; then
  echo "process $pid is not the program"; exit 1
fi
helpers=$(helper_pids)
sleep 2
read -r video video_helpers < <(shares "$pid")
wine "$wintool" command 2113 >/dev/null  # "Video" "Off"
sleep 1
read -r idle idle_helpers < <(shares "$pid")
wine "$wintool" close 30000 >/dev/null
wait "$pid"

echo "Whole program under Wine, processor share over ${seconds} s (percent of one core):"
echo "                  program   wineserver + Xvfb"
echo "  live video on:  $video      $video_helpers"
echo "  video off:      $idle      $idle_helpers"
awk -v v="$video" -v i="$idle" 'BEGIN {
  printf "  difference:     %.2f (target: video on <= 5) %s\n", v - i, (v <= 5 ? "ok" : "OVER") }'
awk -v v="$video" 'BEGIN { exit !(v <= 5) }' && exit "$bench_status"
exit 1
