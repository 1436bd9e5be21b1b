#!/usr/bin/env bash
# The perform routines run once per block on the audio path: none of them may
# call anything (no library call, no outlined helper, no jump to a PLT entry).
# Read with the target's objdump: `call` on x86; `bl`, `blx`, `blr` and plain
# branches to PLT entries on ARM. The one call allowed is 32-bit x86's
# position-independent-code thunk, which only reads its own return address.
# Usage: tests/perform_calls_check.sh PLUGIN [OBJDUMP=objdump]
set -euo pipefail
plugin=$1
objdump=${2:-objdump}
report=$("$objdump" -d --no-show-raw-insn -C "$plugin" | awk -F '\t' '
  function done_routine() { if (name ~ /rondel_perform</) print name " " n }
  /^[0-9a-f]+ </ { done_routine(); name = $0; n = 0; next }
  NF >= 2 {
    split($2, w, " ")
    op = w[1]
    rest = substr($2, length(op) + 1)
    if (rest ~ /__x86\.get_pc_thunk\./) next
    if (name !~ /rondel_perform</) next
    if (op ~ /^call/ || op ~ /^(bl|blx|blr)(\.[a-z]+)?$/ || op ~ /^(blx?|blr)[a-z][a-z]$/) { n++; print "  " $0 > "/dev/stderr"; next }
    if (rest ~ /@plt>/) { n++; print "  " $0 > "/dev/stderr" }
  }
  END { done_routine() }' 2>"${TMPDIR:-/tmp}/perform-calls.$$")
calls=$(cat "${TMPDIR:-/tmp}/perform-calls.$$"); rm -f "${TMPDIR:-/tmp}/perform-calls.$$"
routines=$(grep -c . <<<"$report" || true)
# 15 routines (N = 2 … 16) for each vector path the plug-in carries
[ "$routines" -gt 0 ] && [ $((routines % 15)) -eq 0 ] ||
  { echo "FAIL: $routines perform routines found in $plugin, a multiple of 15 expected"; echo "$report"; exit 1; }
if awk '$NF != 0' <<<"$report" | grep -q .; then
  echo "FAIL: perform routines that call:"; awk '$NF != 0' <<<"$report"; echo "$calls"; exit 1
fi
echo "ok: $routines perform routines in $(basename "$plugin"), none makes a call"
