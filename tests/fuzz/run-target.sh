#!/usr/bin/env bash
# run-target.sh [--fresh] TARGET SEEDS WORK [libFuzzer options...]
# Runs one fuzz target over its kept seeds (SEEDS, read only) and a working
# corpus (WORK/corpus, where libFuzzer adds the inputs it finds new). With
# --fresh the working corpus is emptied first, so a run with a fixed -seed
# and -runs is the same every time. Findings (crash-*, leak-*, timeout-*,
# oom-*) are written to WORK/findings/. A dictionary SEEDS.dict beside the
# seeds is used when there is one. The exit status is libFuzzer's: non-zero
# on any finding.
set -uo pipefail
fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
target=$1 seeds=$2 work=$3
shift 3
[ "$fresh" -eq 1 ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/findings"
dict=()
[ -f "$seeds.dict" ] && dict=(-dict="$seeds.dict")
exec "$target" "${dict[@]}" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/findings/" "$@" "$work/corpus" "$seeds"
