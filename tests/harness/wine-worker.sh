#!/usr/bin/env bash
# One worker of wine-tests.sh, inside its Wine world: takes the next entry of
# the shared queue until none is left and runs it with ctest, keeping its
# output in logs/<entry>.log and its result in the shared results file.
#
#   wine-worker.sh <run folder> <worker number>
set -uo pipefail
run=$1
worker=$2

next_entry() {
  (
    flock 9
    name=$(head -n 1 "$run/queue")
    [ -n "$name" ] && sed -i 1d "$run/queue"
    echo "$name"
  ) 9>"$run/queue.lock"
}

# A virtual display of its own for each entry: what one entry leaves on a
# display (the keyboard focus of windows long gone) must not decide whether
# the next one's windows get the focus.
xvfb_pid=""
end_display() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  xvfb_pid=""
}
trap end_display EXIT
fresh_display() {
  end_display
  local display=$((200 + worker * 50)) tries
  for _ in $(seq 1 50); do
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for tries in $(seq 1 200); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if [ -e "/tmp/.X11-unix/X$display" ]; then export DISPLAY=":$display"; return 0; fi
      sleep 0.05
    done
    end_display
    display=$((display + 1))
  done
  return 1
}

# The registry as the world was made, to be put back after every entry: an
# entry registers things (the sourcemeter's COM server, the COM port of its
# board) that would change what the next one finds.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
registry="$run/registry$worker"
mkdir -p "$registry"
cp "$WINEPREFIX"/*.reg "$registry"/
wineserver -p >>"$NERIN_TEST_ROOT/wineserver.log" 2>&1

# The entries come into the queue as the build makes their programs
# (wine-tests.sh --when); the queue is final when no more will come. The run
# folder goes away when wine-tests.sh does.
while :; do
  name=$(next_entry)
  if [ -z "$name" ]; then
    [ -e "$run/queue.final" ] && break
    [ -d "$run" ] || exit 1
    sleep 0.5
    continue
  fi
  fresh_display || { echo "no virtual display for $name"; exit 1; }
  pattern=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  start=$(date +%s)
  if ctest --test-dir "$run/ctest$worker" -R "^$pattern\$" --output-on-failure >"$run/logs/$name.log" 2>&1; then
    result=passed
  else
    result=FAILED
  fi
  seconds=$(($(date +%s) - start))
  # Whatever the entry left running in this world (a program that did not
  # end, Wine's helpers) ends with it: the next entry starts as it would in
  # a world of its own (a program left running would make the next start a
  # "second start").
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  cp "$registry"/*.reg "$WINEPREFIX"/
  wineserver -p >>"$NERIN_TEST_ROOT/wineserver.log" 2>&1
  # Nor does it find the files the entry before left on the desktop (the
  # program's data folder: settings, objective, journals, results), which
  # would turn its start into another one (a question about a saved
  # objective, a recovery).
  for desktop in "$HOME/Desktop" "$WINEPREFIX/drive_c/users/$(id -un)/Desktop"; do
    [ -d "$desktop" ] && find "$desktop" -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null
  done
  (flock 9; echo "$result $seconds $name" >>"$run/results") 9>"$run/results.lock"
  (flock 9; printf '  %-7s %4d s  %s\n' "$result" "$seconds" "$name" >>"$run/progress") 9>"$run/results.lock"
done
