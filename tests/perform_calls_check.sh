#!/usr/bin/env bash
# The perform routines run once per block on the audio path: none of them may
# call anything (no library call, no outlined helper).
# Usage: tests/perform_calls_check.sh PLUGIN
set -euo pipefail
report=$(objdump -d --no-show-raw-insn -C "$1" | awk '
  /^[0-9a-f]+ </ { if (name ~ /rondel_perform</) print name, n; name = $0; n = 0; next }
  /\tcall/ { n++ }
  END { if (name ~ /rondel_perform</) print name, n }')
routines=$(grep -c . <<<"$report")
# 15 routines (N = 2 … 16) for each vector path the plug-in carries
[ "$routines" -gt 0 ] && [ $((routines % 15)) -eq 0 ] ||
  { echo "FAIL: $routines perform routines found, a multiple of 15 expected"; echo "$report"; exit 1; }
if awk '$NF != 0' <<<"$report" | grep -q .; then
  echo "FAIL: perform routines that call:"; awk '$NF != 0' <<<"$report"; exit 1
fi
echo "ok: $routines perform routines, none makes a call"
