#!/usr/bin/env bash
# Builds everything and runs every test: unit tests of the DSP and the
# plug-in in the real Pd host.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure
