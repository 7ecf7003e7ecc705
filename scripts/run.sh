#!/usr/bin/env bash
# Builds Nerin Station for Windows and runs it under Wine, installing what is
# missing first.
#  - With a display (DISPLAY set): the program opens on it, in your usual
#    Wine prefix; close it as any window.
#  - Without one: it runs on a virtual display, start-up's questions are
#    answered with their default buttons, a screenshot of the main window is
#    saved, and the program is closed normally (so Config.txt is written).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/ensure-packages.sh run
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$jobs" --target NerinStation wintool
program="$here/build/win/bin/NerinStation.exe"
wintool="$here/build/win/tools/wintool.exe"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$program"
fi

echo "No display: running on a virtual display."
out="$here/build/run"
mkdir -p "$out"
if [ ! -d "${WINEPREFIX:-$HOME/.wine}" ]; then
  echo "Creating the Wine prefix (once)."
  wineboot --init >"$out/wineboot.log" 2>&1 && wineserver -w
fi

display=70
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1920x1200x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
# Wine's helper processes go first, so they do not complain about a display
# that has vanished.
trap 'timeout 15 wineserver -w 2>/dev/null; kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 200); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
export DISPLAY=":$display"

# (Through a file: Wine's helper processes keep a captured pipe open. Right
# after the prefix was created the first answer may be empty.)
for _ in 1 2 3 4 5; do
  winepath -u "C:\\users\\$(whoami)\\Desktop\\Nerin Station_Data" >"$out/data-folder.txt" 2>/dev/null || true
  [ -s "$out/data-folder.txt" ] && break
  sleep 1
done
data_folder=$(readlink -m "$(tr -d '\r' <"$out/data-folder.txt")" || true)
# On a first run the laser spot goes to the middle of the picture (instead of
# its corner), so that the screenshot shows its circle; an existing
# Config.txt is left as it is.
if [ -n "$data_folder" ] && [ ! -e "$data_folder/Config.txt" ]; then
  mkdir -p "$data_folder"
  printf 'step:1, scan_speed:500, laser shift:(616,514), Ammeter:4, GPIB:18, Standa:0, arduino:12\n' \
    >"$data_folder/Config.txt"
  echo "First run: laser spot set to the middle of the picture in $data_folder/Config.txt"
fi

wine "$program" >"$out/program-output.txt" 2>&1 &
program_pid=$!
if ! wine "$wintool" ready 120000; then
  echo "The main window did not come up; the program's output is in $out/program-output.txt"
  kill "$program_pid" 2>/dev/null || true
  exit 1
fi
import -display "$DISPLAY" -window root "$out/nerin-station.png"
wine "$wintool" close 30000
wait "$program_pid" || true

echo "Screenshot:  $out/nerin-station.png"
echo "Data folder: $data_folder"
ls -la "$data_folder" 2>/dev/null || true
