#!/usr/bin/env bash
# The in-host tests clean up after themselves: a passing run leaves nothing in
# the temporary folder, a failing test keeps its own files and prints where.
# Usage: tests/scratch_check.sh HOST_TESTS
set -euo pipefail
host_tests=$1
tmp=$(mktemp -d /tmp/rondel-scratch-check-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
passing=Host.BannerIsPostedOnceForManyObjects

mkdir "$tmp/pass"
TMPDIR=$tmp/pass "$host_tests" --gtest_filter=$passing >"$tmp/pass.log" 2>&1 ||
  { echo "FAIL: the passing test failed:"; cat "$tmp/pass.log"; exit 1; }
left=$(ls -A "$tmp/pass")
[ -z "$left" ] || { echo "FAIL: a passing run left:"; ls -R "$tmp/pass"; exit 1; }
echo "ok: a passing run leaves nothing behind"

mkdir "$tmp/fail"
if TMPDIR=$tmp/fail "$host_tests" --gtest_also_run_disabled_tests \
     --gtest_filter="$passing:Scratch.DISABLED_FailsOnPurpose" >"$tmp/fail.log" 2>&1; then
  echo "FAIL: the failing run passed:"; cat "$tmp/fail.log"; exit 1
fi
kept=$(sed -n 's/^\[ scratch  \] DISABLED_FailsOnPurpose kept in //p' "$tmp/fail.log")
[ -n "$kept" ] && ls "$kept"/*/main.pd >/dev/null 2>&1 ||
  { echo "FAIL: no kept folder with the patch named:"; cat "$tmp/fail.log"; ls -R "$tmp/fail"; exit 1; }
case $kept in "$tmp/fail/"*) ;; *) echo "FAIL: kept outside TMPDIR: $kept"; exit 1 ;; esac
others=$(cd "$(dirname "$kept")" && ls -A | grep -v -x -F "$(basename "$kept")" || true)
[ -z "$others" ] || { echo "FAIL: the passing test's files stayed too: $others"; exit 1; }
echo "ok: a failing test keeps its folder, and only its own, and prints $kept"
