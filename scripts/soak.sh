#!/usr/bin/env bash
# Load and soak in the real host: OBJECTS x [rondel~ 16] fed by noise, whose
# position, distance and ramp time change on every block (NaN, infinities
# and out-of-range values among them), for SECONDS of audio; DSP switched off
# and on every 7 s; eight more objects created and deleted by dynamic
# patching every 3 s. Fails if any output sample is not finite, if the host
# logs an error, or if its peak memory grows between the first and the last
# tenth of the run.
# Usage: scripts/soak.sh [OBJECTS=256] [SECONDS=600]
# RONDEL_PD, if set, is the pd command to run (default: pd); RONDEL_PD_WRAPPER,
# if set, is put before it (e.g. env with sanitizer runtimes).
set -euo pipefail
cd "$(dirname "$0")/.."
M=${1:-256}
SECS=${2:-600}
PLUGIN_DIR=${RONDEL_PLUGIN_DIR:-build/rondel~}
if [ -z "${RONDEL_PLUGIN_DIR:-}" ]; then
  bash scripts/setup.sh
  cmake -S . -B build >/dev/null
  cmake --build build -j"$(nproc)" --target rondel_tilde >/dev/null
fi
dir=$(mktemp -d /tmp/rondel-soak-XXXXXX)
trap 'rm -rf "$dir"' EXIT
CHECK_MS=$((SECS * 100))   # ten checkpoints

{
  echo "#N canvas 0 0 800 600 12;"
  n=0
  emit() { echo "#X $1;"; n=$((n + 1)); }
  wire() { echo "#X connect $1 $2 $3 $4;"; }
  emit "obj 10 10 loadbang"                                                   # 0
  emit "msg 10 40 \\; pd dsp 1"                                               # 1
  emit "obj 10 70 noise~"                                                     # 2
  emit "obj 100 10 bang~"                                                     # 3
  emit "obj 100 40 t b b b"                                                   # 4
  emit "obj 100 70 random 10007"                                              # 5
  emit "obj 200 70 random 10007"                                              # 6
  emit "obj 300 70 random 10007"                                              # 7
  emit "obj 100 100 expr if(\$f1 < 40 \\, sqrt(-1) \\, if(\$f1 < 80 \\, \$f1 * 1e+37 \\, (\$f1 - 2000) / 997))"
  emit "obj 200 130 expr if(\$f1 < 40 \\, sqrt(-1) \\, (\$f1 - 2000) / 5000)"  # 9
  emit "obj 300 160 expr if(\$f1 < 40 \\, \$f1 * -1e+37 \\, (\$f1 - 1000) / 20)" # 10
  emit "obj 100 190 s soak-pos"                                               # 11
  emit "obj 200 190 s soak-dist"                                              # 12
  emit "obj 300 190 s soak-line"                                              # 13
  wire 3 0 4 0; wire 4 0 5 0; wire 4 1 6 0; wire 4 2 7 0
  wire 5 0 8 0; wire 6 0 9 0; wire 7 0 10 0; wire 8 0 11 0; wire 9 0 12 0; wire 10 0 13 0
  emit "obj 400 10 r soak-pos"                                                # 14
  emit "obj 400 40 r soak-dist"                                               # 15
  emit "obj 400 70 r soak-line"                                               # 16
  # Every output of every object summed: one sample not finite makes the sum not finite.
  emit "obj 500 10 catch~ soak"                                               # 17
  emit "obj 500 40 expr~ (\$v1*0) != 0"                                       # 18
  emit "obj 500 70 env~ 4096 2048"                                            # 19
  emit "obj 500 100 moses 1"                                                  # 20
  emit "obj 500 130 print NONFINITE"                                          # 21
  wire 17 0 18 0; wire 18 0 19 0; wire 19 0 20 0; wire 20 1 21 0
  emit "obj 600 10 metro 7000"                                                # 22
  emit "msg 600 40 \\; pd dsp 0"                                              # 23
  emit "obj 600 70 delay 100"                                                 # 24
  wire 0 0 1 0; wire 0 0 22 0; wire 22 0 23 0; wire 22 0 24 0; wire 24 0 1 0
  # Dynamic patching: the subpatch is cleared and filled anew.
  dyn="\\; pd-dyn clear"
  for ((j = 0; j < 8; j++)); do
    dyn+=" \\; pd-dyn obj 10 $((j * 30)) rondel~ $((j + 9))"
  done
  dyn+=" \\; pd-dyn obj 200 10 noise~ \\; pd-dyn obj 200 40 r soak-pos \\; pd-dyn obj 200 70 throw~ soak"
  for ((j = 0; j < 8; j++)); do
    dyn+=" \\; pd-dyn connect 8 0 $j 0 \\; pd-dyn connect 9 0 $j 1 \\; pd-dyn connect $j 0 10 0 \\; pd-dyn connect $j $((j + 8)) 10 0"
  done
  emit "obj 700 10 metro 3000"                                                # 25
  emit "msg 700 40 $dyn"                                                      # 26
  wire 0 0 25 0; wire 25 0 26 0
  emit "obj 10 250 metro $CHECK_MS"                                           # 27
  emit "obj 10 280 delay $CHECK_MS"                                           # 28
  emit "msg 10 310 checkpoint"                                                # 29
  emit "obj 10 340 print soak"                                                # 30
  wire 0 0 28 0; wire 28 0 27 0; wire 27 0 29 0; wire 29 0 30 0
  emit "obj 200 250 delay $((SECS * 1000 + 10))"                              # 31
  emit "msg 200 280 \\; pd quit"                                              # 32
  wire 0 0 31 0; wire 31 0 32 0
  emit "obj 10 400 pd dyn"                                                    # 33 (empty subpatch)
  for ((m = 0; m < M; m++)); do
    o=$n; emit "obj 10 450 rondel~ 16"
    t=$n; emit "obj 10 480 throw~ soak"
    wire 2 0 $o 0; wire 14 0 $o 1; wire 15 0 $o 2; wire 16 0 $o 3
    for ((k = 0; k < 16; k++)); do wire $o $k $t 0; done
  done
} > "$dir/soak.pd"

echo "soak: $M x [rondel~ 16] plus 8 created and deleted every 3 s, $SECS s of audio"
start=$(date +%s)
${RONDEL_PD_WRAPPER:-} ${RONDEL_PD:-pd} -nogui -nosound -batch -noprefs -stderr -path "$PLUGIN_DIR" -open "$dir/soak.pd" 2>"$dir/log" &
pid=$!
seen=0
peaks=()
while kill -0 $pid 2>/dev/null; do
  now=$(grep -c "soak: checkpoint" "$dir/log" || true)
  if [ "$now" -gt "$seen" ]; then
    seen=$now
    peak=$(awk '/VmHWM/ { print $2 }' /proc/$pid/status 2>/dev/null || true)
    [ -n "$peak" ] && peaks+=("$peak")
  fi
  sleep 0.05
done
status=0
wait $pid || status=$?
seen=$(grep -c "soak: checkpoint" "$dir/log" || true)
echo "soak: host ran $(( $(date +%s) - start )) s, exit status $status, $seen checkpoints"
fail=0
[ "$status" -eq 0 ] || { echo "soak: the host failed"; fail=1; }
if grep -q -i -E "error|NONFINITE|couldn't|Sanitizer|runtime error" "$dir/log"; then
  echo "soak: the host log reports a problem:"; grep -i -E "error|NONFINITE|couldn't|Sanitizer|runtime error" "$dir/log" | head -20; fail=1
fi
[ "$seen" -ge 10 ] || { echo "soak: only $seen of 10 checkpoints reached"; fail=1; }
if [ -n "${RONDEL_PD_WRAPPER:-}" ]; then
  echo "soak: memory not judged under a wrapper (sanitizers keep freed memory in quarantine)"
elif [ ${#peaks[@]} -ge 2 ]; then
  first=${peaks[0]}; last=${peaks[${#peaks[@]}-1]}
  echo "soak: peak RSS $first kB after the first tenth, $last kB near the end (${#peaks[@]} readings)"
  [ "$last" -le $((first + 1024)) ] || { echo "soak: peak memory grew by $((last - first)) kB"; fail=1; }
fi
[ $fail -eq 0 ] && echo "soak: passed" || exit 1
