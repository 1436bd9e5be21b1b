#!/usr/bin/env bash
# What rondel~ costs inside Pd, against what a Pd user would patch without it.
# M instances of 16 loudspeakers, all fed by one [noise~], in three versions:
#   rondel   [rondel~ 16]
#   vanilla  16 x [line~] -> [*~] per instance, gains computed with [expr]
#   floor    16 x [*~ 0.5] per instance (no gain changes at all)
# and two workloads: moving (a new position every 100 ms, 50 ms ramps) and
# still (one position, then nothing). Each patch runs SECONDS of audio in
# pd -batch; runs alternate, and the median CPU time (user + system) is shown.
# Usage: scripts/host_bench.sh [M=32] [SECONDS=60] [ROUNDS=5]
set -euo pipefail
cd "$(dirname "$0")/.."
M=${1:-32}
SECONDS_OF_AUDIO=${2:-60}
ROUNDS=${3:-5}
N=16

bash scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target rondel_tilde >/dev/null
dir=$(mktemp -d /tmp/rondel-host-bench-XXXXXX)

# patch VERSION WORKLOAD > file
patch() {
  local version=$1 workload=$2 obj=0
  echo "#N canvas 0 0 800 600 12;"
  emit() { echo "#X $1;"; obj=$((obj + 1)); }
  wire() { echo "#X connect $1 $2 $3 $4;"; }
  emit "obj 10 10 loadbang"                                   # 0
  emit "msg 10 40 \\; pd dsp 1 \\; pos 0.1"                  # 1
  wire 0 0 1 0
  emit "obj 200 10 delay $((SECONDS_OF_AUDIO * 1000))"       # 2
  emit "msg 200 40 \\; pd quit"                               # 3
  wire 0 0 2 0; wire 2 0 3 0
  emit "obj 10 80 noise~"                                     # 4
  if [ "$workload" = moving ]; then
    emit "obj 300 10 metro 100"                               # 5
    emit "obj 300 40 f"                                       # 6
    emit "obj 340 40 + 0.137"                                 # 7
    emit "obj 300 70 wrap"                                    # 8
    emit "obj 300 100 s pos"                                  # 9
    wire 0 0 5 0; wire 5 0 6 0; wire 6 0 7 0; wire 7 0 6 1; wire 6 0 8 0; wire 8 0 9 0
  fi
  for ((m = 0; m < M; m++)); do
    case $version in
      rondel)
        local r=$obj; emit "obj 10 120 r pos"
        local o=$obj; emit "obj 10 150 rondel~ $N"
        local l=$obj; emit "msg 100 120 line 50"
        wire 4 0 $o 0; wire $r 0 $o 1; wire 0 0 $l 0; wire $l 0 $o 0
        ;;
      vanilla)
        local r=$obj; emit "obj 10 120 r pos"
        # The panning law on the circle: sqrt(max(0, 1 - N*d)), d the circular
        # distance between the source and loudspeaker k at k/N turns.
        local e="" k
        for ((k = 0; k < N; k++)); do
          local at; at=$(awk -v k=$k -v n=$N 'BEGIN { printf "%.6f", k / n }')
          e+="sqrt(max(0 \\, 1 - $N*abs(fmod(\\\$f1 + 1.5 - $at \\, 1) - 0.5)))"
          [ $k -lt $((N - 1)) ] && e+="\\; "
        done
        local x=$obj; emit "obj 10 150 expr $e"
        wire $r 0 $x 0
        for ((k = 0; k < N; k++)); do
          local mm=$obj; emit "msg 10 180 \\\$1 50"
          local li=$obj; emit "obj 10 210 line~"
          local mu=$obj; emit "obj 10 240 *~"
          wire $x $k $mm 0; wire $mm 0 $li 0; wire $li 0 $mu 1; wire 4 0 $mu 0
        done
        ;;
      floor)
        [ $m -eq 0 ] && emit "obj 10 120 r pos"  # takes the positions, moves nothing
        for ((k = 0; k < N; k++)); do
          local mu=$obj; emit "obj 10 240 *~ 0.5"
          wire 4 0 $mu 0
        done
        ;;
    esac
  done
}

for w in moving still; do
  for v in rondel vanilla floor; do
    patch $v $w > "$dir/$v-$w.pd"
  done
done

cpu_seconds() {  # patch -> user+system seconds of one pd run
  local t
  t=$( { TIMEFORMAT='%3U %3S'; time pd -nogui -nosound -batch -noprefs -stderr -path build/rondel~ \
         -open "$1" >/dev/null 2>"$1.log"; } 2>&1 )
  if grep -q -E "error|couldn't create" "$1.log"; then echo "host_bench: $1 failed:" >&2; head -20 "$1.log" >&2; exit 1; fi
  awk '{ printf "%.3f\n", $1 + $2 }' <<<"$t"
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

echo "M = $M instances x $N outputs, $SECONDS_OF_AUDIO s of audio, median of $ROUNDS alternating runs (CPU s)"
printf '%-8s %10s %10s %10s %16s %16s\n' workload rondel vanilla floor "vanilla/rondel" "rondel/floor"
for w in moving still; do
  declare -A runs=()
  for ((i = 0; i < ROUNDS; i++)); do
    for v in rondel vanilla floor; do
      runs[$v]+="$(cpu_seconds "$dir/$v-$w.pd") "
    done
  done
  r=$(tr ' ' '\n' <<<"${runs[rondel]}" | grep . | median)
  va=$(tr ' ' '\n' <<<"${runs[vanilla]}" | grep . | median)
  f=$(tr ' ' '\n' <<<"${runs[floor]}" | grep . | median)
  awk -v w=$w -v r=$r -v v=$va -v f=$f 'BEGIN { printf "%-8s %10.3f %10.3f %10.3f %16.2f %16.2f\n", w, r, v, f, v / r, r / f }'
  unset runs
done
rm -rf "$dir"
