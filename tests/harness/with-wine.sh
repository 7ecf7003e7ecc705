#!/usr/bin/env bash
# Runs a command inside a throwaway Wine world: its own HOME and WINEPREFIX
# (so the program's data folder lands on a throwaway Desktop, never the
# user's), its own virtual display (Xvfb), and a persistent wineserver so that
# each Windows test program starts quickly. Everything is removed afterwards.
#
#   tests/harness/with-wine.sh <command> [args...]
#
# Inside the command: HOME, WINEPREFIX, DISPLAY, WINEDEBUG and NERIN_TEST_ROOT
# (the throwaway folder) are set. With NERIN_WINE_TEMPLATE naming a prefix
# this script made (copied while its command ran), the new prefix is a copy
# of that one instead of a fresh one.
set -euo pipefail

root=$(mktemp -d "${TMPDIR:-/tmp}/nerin-wine.XXXXXX")
export NERIN_TEST_ROOT="$root"
export HOME="$root/home"
export WINEPREFIX="$root/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko install prompts
export XDG_RUNTIME_DIR="$root/xdg"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT

# A display number nobody uses; another harness starting at the same moment
# may take it first, so a Xvfb that fails moves on to the next number.
display=90
started=0
for _ in $(seq 1 50); do
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1920x1200x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 200); do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    if [ -e "/tmp/.X11-unix/X$display" ]; then started=1; break; fi
    sleep 0.05
  done
  [ "$started" = 1 ] && break
  xvfb_pid=""
  display=$((display + 1))
done
[ "$started" = 1 ] || { echo "Xvfb did not start:"; cat "$root/xvfb.log"; exit 1; }
export DISPLAY=":$display"

if [ -n "${NERIN_WINE_TEMPLATE:-}" ]; then
  # A copy of a prefix made before by this script (wine-tests.sh makes one
  # for all its worlds: a new prefix costs several seconds of processor
  # time). The system folder's libraries are shared through hard links, as
  # nothing writes them; every other file is this world's own, since Wine
  # may rewrite it in place. The user's folders link to this HOME.
  cp -al "$NERIN_WINE_TEMPLATE" "$WINEPREFIX" || { echo "could not copy the prefix $NERIN_WINE_TEMPLATE"; exit 1; }
  find "$WINEPREFIX" -type f -not -path "$WINEPREFIX/drive_c/windows/system32/*" -exec sh -c \
    'for f; do cp -p "$f" "$f.own" && mv -f "$f.own" "$f" || exit 1; done' copy {} + || exit 1
  find "$WINEPREFIX/drive_c/users" -type l -exec ln -sfn "$HOME" {} \;
else
  wineboot --init >"$root/wineboot.log" 2>&1 || { echo "wineboot failed:"; cat "$root/wineboot.log"; exit 1; }
  # Without a window manager on the virtual display, Wine waits up to two
  # seconds for the window manager at every window it hides; unmanaged windows
  # need no such wait.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
fi
# Stay up between test programs; its own diagnostics go to a log file.
wineserver -p >"$root/wineserver.log" 2>&1
"$@"
