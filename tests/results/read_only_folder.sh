#!/usr/bin/env bash
# Runs a test program with a folder that cannot be written, holding earlier
# results: its path (Unix form) goes to the program in NERIN_READ_ONLY_FOLDER.
# Permissions stop an ordinary user; root (as in a container) is stopped
# only by the immutable flag. When neither works, the variable is left
# unset and the program skips what needs the folder.
#
#   read_only_folder.sh <command> [args...]
set -uo pipefail

root=$(mktemp -d "${TMPDIR:-/tmp}/nerin-read-only.XXXXXX")
folder="$root/251205_14-58"
mkdir -p "$folder"
printf '0.500000,1.000000,\r\n' >"$folder/Nerin.txt"
printf '{"result": "map scan"}\n' >"$folder/Nerin.txt.json"
printf 'Map width:2, height:1, step:1.0 um, bias voltage:0.000000\r\n' >"$folder/MapInfo.txt"
printf 'V(V), I(uA)\r\n0.000000,0.000000\r\n' >"$folder/I-V(0).txt"
printf 'Time(sec), I(uA)\r\n' >"$folder/TimeEvo(0).txt"
for picture in 'camera(0).jpg' 'optic.jpg' 'optics(0).jpg' 'Nerin(0).jpg'; do
  printf '\x89PNG\r\n\x1a\n' >"$folder/$picture"
done

cleanup() {
  chattr -i "$folder" >/dev/null 2>&1
  chmod -R u+w "$root" >/dev/null 2>&1
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 143' INT TERM

writable() { touch "$folder/.probe" 2>/dev/null && rm -f "$folder/.probe"; }
chmod a-w "$folder"
writable && chattr +i "$folder" >/dev/null 2>&1
if writable; then
  echo "read_only_folder.sh: could not make a folder read-only here"
else
  export NERIN_READ_ONLY_FOLDER="$folder"
fi
"$@"
