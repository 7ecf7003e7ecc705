#!/usr/bin/env bash
# Installs, from Debian's archive, whatever of the build and test tools is
# missing; with "run", also what the headless run needs for its screenshot;
# with "fuzz", also clang and its libFuzzer (test.sh and fuzz.sh).
# Called by run.sh, test.sh, bench.sh and fuzz.sh; safe to run again.
set -euo pipefail

nerin_packages=(
  cmake make ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix mingw-w64 binutils-mingw-w64-x86-64
  wine wine64 xvfb
)
[ "${1:-}" = run ] && nerin_packages+=(imagemagick)
[ "${1:-}" = fuzz ] && nerin_packages+=(clang)

install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

install_missing "${nerin_packages[@]}"

# libFuzzer comes with clang's runtime libraries, a package named after
# clang's major version (libclang-rt-14-dev on Debian 12), which the clang
# package only recommends.
if [ "${1:-}" = fuzz ]; then
  install_missing "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
fi
