#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest.
#
# Wine starts helper processes on demand (services, the desktop window
# process) that outlive the program and inherit its standard output. ctest
# waits until every holder of its output pipe has gone, so it would wait for
# those helpers forever. The program therefore writes into a file, which is
# shown when it ends.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
