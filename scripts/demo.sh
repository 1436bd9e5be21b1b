#!/usr/bin/env bash
# Builds rondel~ and runs the demo patch in the real Pd host, headless:
# noise goes once around eight loudspeakers and then to the centre. Writes
# build/demo/demo.wav (8 channels, 32-bit float) and prints what each
# loudspeaker carried.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target rondel_tilde demo_summary >/dev/null

mkdir -p build/demo
cp demo/circle-demo.pd build/demo/
( cd build/demo && rm -f demo.wav &&
  pd -nogui -nosound -batch -noprefs -stderr -path ../rondel~ -open circle-demo.pd )
echo
build/demo_summary build/demo/demo.wav
