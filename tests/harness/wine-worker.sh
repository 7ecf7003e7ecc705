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

while name=$(next_entry) && [ -n "$name" ]; do
  pattern=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|]/\\&/g')
  start=$(date +%s)
  if ctest --test-dir "$run/ctest$worker" -R "^$pattern\$" --output-on-failure >"$run/logs/$name.log" 2>&1; then
    result=passed
  else
    result=FAILED
  fi
  seconds=$(($(date +%s) - start))
  (flock 9; echo "$result $seconds $name" >>"$run/results") 9>"$run/results.lock"
  (flock 9; printf '  %-7s %4d s  %s\n' "$result" "$seconds" "$name" >>"$run/progress") 9>"$run/results.lock"
done
