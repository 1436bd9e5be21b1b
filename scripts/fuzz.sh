#!/usr/bin/env bash
# Fuzzes one object's messages and blocks (libFuzzer, clang) for SECONDS,
# starting from the committed seed corpus; new inputs go to
# build-fuzz/corpus, crashes to build-fuzz/. Then replays every input, old
# and new, with the build that keeps every sanitizer check (AddressSanitizer
# and all of UndefinedBehaviorSanitizer, coverage everywhere).
# Usage: scripts/fuzz.sh [SECONDS=60] [extra libFuzzer flags]
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-60}
shift || true
bash scripts/setup.sh clang libclang-rt-14-dev
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DRONDEL_FUZZ=ON -DRONDEL_TESTS=OFF -DRONDEL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target rondel_fuzz rondel_fuzz_replay >/dev/null
mkdir -p build-fuzz/corpus
cd build-fuzz
status=0
./fuzz/rondel_fuzz -max_total_time="$SECS" -print_final_stats=1 -artifact_prefix=./ "$@" corpus ../fuzz/corpus \
  > fuzz.log 2>&1 || status=$?
grep -E "^Done|stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|rondel_fuzz:|artifact" fuzz.log || true
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' fuzz.log)
[ -n "$runs" ] && echo "fuzz: $runs inputs in $SECS s, $((runs / SECS)) per second"
if [ $status -ne 0 ]; then
  echo "fuzz: failed (exit status $status); the whole log is build-fuzz/fuzz.log"
  exit 1
fi
status=0
./fuzz/rondel_fuzz_replay -runs=0 corpus ../fuzz/corpus > replay.log 2>&1 || status=$?
grep -E "ERROR|SUMMARY|rondel_fuzz:|runtime error" replay.log || true
if [ $status -ne 0 ]; then
  echo "fuzz: the replay with every sanitizer check failed (exit status $status); see build-fuzz/replay.log"
  exit 1
fi
echo "fuzz: replayed $(find corpus ../fuzz/corpus -type f | wc -l) inputs with every sanitizer check"
