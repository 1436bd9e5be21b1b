#!/usr/bin/env bash
# The file built for AVX2 must give the rest of the plug-in nothing but its
# table of perform routines: a weak or global copy of any shared inline
# function there could be the one the linker keeps for every caller, and run
# AVX2 code on a CPU without it.
# Usage: tests/avx2_object_check.sh OBJECT
set -euo pipefail
# (AddressSanitizer's own bookkeeping symbols aside)
shared=$(nm --defined-only "$1" | awk '$2 ~ /^[A-Zuvw]$/ && $3 !~ /^__(odr_)?asan/ { print $2, $3 }')
[ "$shared" = "D rondel_performers_avx2" ] || { echo "FAIL: $1 defines for others:"; echo "$shared"; exit 1; }
echo "ok: $1 shares only rondel_performers_avx2"
