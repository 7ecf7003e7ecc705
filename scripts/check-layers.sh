#!/usr/bin/env bash
# Fails, naming the file and line, when an include of src/ points up the
# ladder (services, devices, results, views, runs, console), goes sideways
# between two device folders, or closes a loop of files. See
# scripts/check-layers.py for the rungs.
set -euo pipefail
exec python3 "$(dirname "$0")/check-layers.py" "$@"
