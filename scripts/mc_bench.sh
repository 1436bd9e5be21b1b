#!/usr/bin/env bash
# What [rondel~ -m N] costs inside Pd against [rondel~ N]: M instances fed by
# one [noise~] in a subpatch of block size BLOCK, the source moving (a new
# position every 100 ms, 50 ms ramps), each version run for SECONDS of audio
# in pd -batch; runs alternate, and the median CPU time (user + system) of
# ROUNDS runs is shown with the ratio. Needs a Pd with multichannel signals:
# RONDEL_PD (default: Debian's 0.57, brought up by scripts/hosts.sh).
# Usage: scripts/mc_bench.sh [M=32] [N=16] [SECONDS=60] [ROUNDS=5] [BLOCK ...]
set -euo pipefail
cd "$(dirname "$0")/.."
M=${1:-32}
N=${2:-16}
SECONDS_OF_AUDIO=${3:-60}
ROUNDS=${4:-5}
shift $(($# < 4 ? $# : 4))
blocks=("$@")
[ ${#blocks[@]} -gt 0 ] || blocks=(64 1024)

bash scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target rondel_tilde >/dev/null
if [ -z "${RONDEL_PD:-}" ]; then
  bash scripts/hosts.sh build-hosts forky-amd64 >/dev/null
fi
pd=${RONDEL_PD:-$(bash scripts/pd_command.sh amd64-0.57)}
dir=$(mktemp -d /tmp/rondel-mc-bench-XXXXXX)
trap 'rm -rf "$dir"' EXIT

# patch FLAGS BLOCK > file: the objects' outputs stay unconnected, so that
# only the objects themselves are measured
patch() {
  local flags=$1 block=$2
  cat <<EOF
#N canvas 0 0 800 600 12;
#X obj 10 10 loadbang;
#X msg 10 40 \\; pd dsp 1;
#X obj 200 10 delay $((SECONDS_OF_AUDIO * 1000));
#X msg 200 40 \\; pd quit;
#X obj 300 10 metro 100;
#X obj 300 40 f;
#X obj 340 40 + 0.137;
#X obj 300 70 wrap;
#X obj 300 100 s pos;
#X connect 0 0 1 0;
#X connect 0 0 2 0;
#X connect 2 0 3 0;
#X connect 0 0 4 0;
#X connect 4 0 5 0;
#X connect 5 0 6 0;
#X connect 6 0 5 1;
#X connect 6 0 7 0;
#X connect 7 0 8 0;
#N canvas 0 0 400 400 objects 0;
#X obj 10 10 block~ $block;
#X obj 10 40 noise~;
#X obj 10 70 r pos;
EOF
  for ((m = 0; m < M; m++)); do
    echo "#X obj 10 100 rondel~ $flags $N;"
  done
  for ((m = 0; m < M; m++)); do
    echo "#X connect 1 0 $((3 + m)) 0;"
    echo "#X connect 2 0 $((3 + m)) 1;"
  done
  echo "#X restore 10 200 pd objects;"
}

cpu_seconds() {  # patch -> user+system seconds of one pd run
  local t
  t=$( { TIMEFORMAT='%3U %3S'; time $pd -nogui -nosound -batch -noprefs -stderr -path build/rondel~ \
         -open "$1" >/dev/null 2>"$1.log"; } 2>&1 )
  if grep -q -E "error|couldn't create|needs Pd" "$1.log"; then echo "mc_bench: $1 failed:" >&2; head -20 "$1.log" >&2; exit 1; fi
  awk '{ printf "%.3f\n", $1 + $2 }' <<<"$t"
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

echo "$($pd -version 2>&1 | head -1)"
echo "M = $M instances x $N outputs, moving, $SECONDS_OF_AUDIO s of audio, median of $ROUNDS alternating runs (CPU s)"
printf '%6s %12s %12s %10s\n' block "rondel~ $N" "rondel~ -m $N" "-m / plain"
for b in "${blocks[@]}"; do
  patch "" "$b" > "$dir/plain-$b.pd"
  patch "-m" "$b" > "$dir/multi-$b.pd"
  plain="" multi=""
  for ((i = 0; i < ROUNDS; i++)); do
    plain+="$(cpu_seconds "$dir/plain-$b.pd") "
    multi+="$(cpu_seconds "$dir/multi-$b.pd") "
  done
  p=$(tr ' ' '\n' <<<"$plain" | grep . | median)
  q=$(tr ' ' '\n' <<<"$multi" | grep . | median)
  awk -v b="$b" -v p="$p" -v q="$q" 'BEGIN { printf "%6s %12.3f %12.3f %10.2f\n", b, p, q, q / p }'
done
