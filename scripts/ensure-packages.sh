#!/usr/bin/env bash
# Installs, from Debian's archive, whatever of the build and test tools is
# missing; with "run", also what the headless run needs for its screenshot.
# Called by run.sh and test.sh; safe to run again.
set -euo pipefail

nerin_packages=(
  cmake make g++ python3 googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64 binutils-mingw-w64-x86-64
  wine wine64 xvfb
)
[ "${1:-}" = run ] && nerin_packages+=(imagemagick)

missing=()
for p in "${nerin_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
