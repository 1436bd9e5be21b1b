#!/usr/bin/env bash
# Benchmarks the perform routine (N = 2, 4, 8, 16; blocks of 64 and 1024;
# still, ramping, snap) against the floor and the plain per-sample routine,
# and prints the ratios measured in this one run. Extra arguments go to
# Google Benchmark (e.g. --benchmark_min_time=1).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DRONDEL_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)" --target perform_bench >/dev/null
build/bench/perform_bench --benchmark_min_time=0.5 "$@"
