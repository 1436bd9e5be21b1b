#!/usr/bin/env bash
# Builds rondel~ and runs the demo patches in the real Pd host, headless:
#  - noise goes once around eight loudspeakers and then to the centre; writes
#    build/demo/demo.wav (8 channels, 32-bit float) and prints what each
#    loudspeaker carried;
#  - the gains of [rondel~ 8] over one turn at distances 1, 0.5 and 0.25 are
#    recorded and drawn as build/demo/gains.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh gnuplot-nox
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target rondel_tilde demo_summary wav_columns >/dev/null

mkdir -p build/demo
cp demo/circle-demo.pd demo/gains-sweep.pd build/demo/
( cd build/demo && rm -f demo.wav gains.wav &&
  pd -nogui -nosound -batch -noprefs -stderr -path ../rondel~ -open circle-demo.pd &&
  pd -nogui -nosound -batch -noprefs -stderr -path ../rondel~ -open gains-sweep.pd )
echo
build/demo_summary build/demo/demo.wav
build/wav_columns build/demo/gains.wav 20 > build/demo/gains.txt
gnuplot -e "data='build/demo/gains.txt'; out='build/demo/gains.png'" demo/gains.gnuplot
echo
echo "gains of [rondel~ 8] over one turn drawn in build/demo/gains.png"
