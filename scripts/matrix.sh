#!/usr/bin/env bash
# Every platform in its own real host, one command: builds the plug-in for
# each, packs them all into one deken package, and runs on each platform
#   - the unit tests, built for it (under qemu-user where the CPU is foreign),
#     whose shared session through the kernel gives the digest;
#   - the in-host tests in its own Pd (RONDEL_PD, RONDEL_PLUGIN_DIR);
#   - the checks that no perform routine makes a call and that the plug-in
#     exports only its setup function, read with the target's binutils;
#   - the unpacked package folder opened in its Pd (help patch, an object);
#   - on Windows the stand-in host under Wine, with the shared session.
# Prints a table of platform × result and the closing line
# "matrix: N passed, M failed". Brings up the hosts first (scripts/hosts.sh).
# Usage: scripts/matrix.sh [PLATFORM ...]   (default: all; see the list below)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
all=(linux-amd64 linux-amd64-0.55 linux-amd64-0.57 linux-amd64-pd64 linux-arm64 linux-arm64-0.57
     linux-armhf linux-armhf-0.57 linux-i386 windows-amd64 windows-i386 windows-amd64-pd64)
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=("${all[@]}")
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2
logs=$src/build-matrix
rm -rf "$logs"
mkdir -p "$logs"

bash scripts/setup.sh g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-i686-linux-gnu googletest \
  mmdebstrap qemu-user-static arch-test g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 \
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
start=$SECONDS
bash scripts/hosts.sh build-hosts
echo "matrix: hosts ready in $((SECONDS - start)) s"

# The session digest every build must give, as the tests know it.
want_digest=$(sed -n 's/.*kSessionDigest = \(0x[0-9a-f]*\)ull;.*/\1/p' tests/shared_vectors.hpp)

# Build folder, toolchain, float size, Pd host (scripts/pd_command.sh), emulator of each Linux platform.
declare -A folder toolchain floats host emulator
folder=([linux-amd64]=build [linux-amd64-0.55]=build [linux-amd64-0.57]=build [linux-amd64-pd64]=build-pd64
        [linux-arm64]=build-arm64 [linux-arm64-0.57]=build-arm64 [linux-armhf]=build-armhf
        [linux-armhf-0.57]=build-armhf [linux-i386]=build-i386)
toolchain=([linux-arm64]=aarch64-linux-gnu [linux-arm64-0.57]=aarch64-linux-gnu [linux-armhf]=arm-linux-gnueabihf
           [linux-armhf-0.57]=arm-linux-gnueabihf [linux-i386]=i686-linux-gnu)
floats=([linux-amd64-pd64]=64)
host=([linux-amd64]=amd64 [linux-amd64-0.55]=amd64-0.55 [linux-amd64-0.57]=amd64-0.57 [linux-amd64-pd64]=amd64-pd64
      [linux-arm64]=arm64 [linux-arm64-0.57]=arm64-0.57 [linux-armhf]=armhf [linux-armhf-0.57]=armhf-0.57
      [linux-i386]=i386)
emulator=([linux-arm64]=qemu-aarch64-static [linux-arm64-0.57]=qemu-aarch64-static [linux-armhf]=qemu-arm-static
          [linux-armhf-0.57]=qemu-arm-static)
declare -A passed failed digest took built

# build PLATFORM: the plug-in and the unit tests for a Linux platform, once per folder.
build() {
  local p=$1 dir=${folder[$1]} t0=$SECONDS
  [ -n "${built[$dir]:-}" ] && return 0
  local args=(-DRONDEL_TESTS=ON -DRONDEL_FLOATSIZE="${floats[$p]:-32}")
  # This machine's release build keeps its benchmarks (scripts/test.sh builds them there).
  [ "$dir" = build ] || args+=(-DRONDEL_BENCH=OFF)
  [ -n "${toolchain[$p]:-}" ] && args+=(-DCMAKE_TOOLCHAIN_FILE="cmake/${toolchain[$p]}.cmake")
  [ -n "${emulator[$p]:-}" ] && args+=(-DCMAKE_CROSSCOMPILING_EMULATOR="${emulator[$p]}")
  if cmake --no-warn-unused-cli -S . -B "$dir" "${args[@]}" >"$logs/$p.build.log" 2>&1 &&
     cmake --build "$dir" -j"$jobs" >>"$logs/$p.build.log" 2>&1; then
    built[$dir]=$((SECONDS - t0))
  else
    built[$dir]=failed
    echo "matrix: $p: build failed, see $logs/$p.build.log"
    tail -20 "$logs/$p.build.log"
  fi
}

# gtest_count LOG: the tests a Google Test run passed, or 0
gtest_count() { sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$1" | tail -n 1 | grep . || echo 0; }

# check PLATFORM NAME COMMAND...: one check, counted; its log kept on failure
check() {
  local p=$1 name=$2
  shift 2
  if "$@" >"$logs/$p.$name.log" 2>&1; then
    passed[$p]=$((${passed[$p]:-0} + 1))
  else
    failed[$p]=$((${failed[$p]:-0} + 1))
    echo "matrix: $p: $name failed:"
    tail -30 "$logs/$p.$name.log"
  fi
}

# gtest PLATFORM NAME COMMAND...: a Google Test program, each of its tests counted
gtest() {
  local p=$1 name=$2 status=0 bad
  shift 2
  "$@" >"$logs/$p.$name.log" 2>&1 || status=$?
  passed[$p]=$((${passed[$p]:-0} + $(gtest_count "$logs/$p.$name.log")))
  bad=$(grep -c '^\[  FAILED  \] .*\..* (' "$logs/$p.$name.log" || true)
  [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || bad=1  # died before its summary
  if [ "$bad" -gt 0 ]; then
    failed[$p]=$((${failed[$p]:-0} + bad))
    echo "matrix: $p: $name failed:"
    grep -E '^\[  FAILED  \]|Failure|Which is|vs ' "$logs/$p.$name.log" | head -30 || tail -30 "$logs/$p.$name.log"
  fi
}

# open_package PD_COMMAND: the unpacked package folder in this Pd: the help patch and an object of 8 outputs
open_package() {
  local pd=$1 tmp banner="rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet"
  tmp=$(mktemp -d "/tmp/rondel-matrix-XXXXXX")
  ( cd "$tmp" && cmake -E tar xf "$dek" )
  printf '#N canvas 0 0 300 200 12;\n#X obj 10 10 rondel~ 8;\n#X obj 10 60 dac~;\n#X connect 0 7 1 0;\n' >"$tmp/uses-it.pd"
  local ok=0
  for patch in "$tmp/rondel~/rondel~-help.pd" "$tmp/uses-it.pd"; do
    # shellcheck disable=SC2086 # the command carries arguments
    ( cd "$(dirname "$patch")" && timeout 120 $pd -nogui -nosound -batch -noprefs -stderr -verbose -path "$tmp" \
        -open "$(basename "$patch")" -send "pd quit" ) >"$tmp/log" 2>&1 || ok=1
    # The file names this Pd tries, in its order, up to the one it loads.
    grep "tried .*rondel~[./][^ ]* and" "$tmp/log" | grep -v '\.pd and\|\.pat and' | sed 's/^verbose([0-9]*): //' |
      sed "s|$tmp/||" || true
    if grep -q -i -E "couldn't create|error|connection failed|bad arguments" "$tmp/log" ||
       [ "$(grep -c -x -F "$banner" "$tmp/log")" -ne 1 ]; then
      ok=1; grep -v "^tried\|^verbose" "$tmp/log" | tail -20
    fi
  done
  rm -rf "$tmp"
  return $ok
}

# ---------------------------------------------------------------- builds
for p in "${wanted[@]}"; do
  case $p in
    linux-*) [ -n "${folder[$p]:-}" ] || { echo "matrix: unknown platform $p (known: ${all[*]})" >&2; exit 2; }
             t0=$SECONDS; build "$p"; took[$p]=$((SECONDS - t0)) ;;
    windows-amd64|windows-i386|windows-amd64-pd64) ;;
    *) echo "matrix: unknown platform $p (known: ${all[*]})" >&2; exit 2 ;;
  esac
done
# The in-host tests are driven from this machine's build.
[ -n "${built[build]:-}" ] || build linux-amd64

# ---------------------------------------------------------------- Windows (builds and runs)
for p in "${wanted[@]}"; do
  case $p in windows-*) ;; *) continue ;; esac
  t0=$SECONDS
  variant=${p#windows-}
  status=0
  bash scripts/windows.sh "$variant" >"$logs/$p.run.log" 2>&1 || status=$?
  # The export, import and perform checks, and every check of the run under Wine.
  ok=$(grep -c '^ok: ' "$logs/$p.run.log" || true)
  # windows.sh runs the stand-in four times (with and without multichannel, widest path and SSE2).
  run_passed=$(sed -n 's/^windows-run[^:]*: \([0-9]*\) passed.*/\1/p' "$logs/$p.run.log" | awk '{ s += $1 } END { print s + 0 }')
  run_failed=$(sed -n 's/^windows-run[^:]*: [0-9]* passed, \([0-9]*\) failed.*/\1/p' "$logs/$p.run.log" | awk '{ s += $1 } END { print s + 0 }')
  passed[$p]=$((ok + run_passed))
  failed[$p]=$run_failed
  if [ "$status" -ne 0 ]; then
    [ "$run_failed" -gt 0 ] || failed[$p]=1
    echo "matrix: $p failed:"; tail -30 "$logs/$p.run.log"
  fi
  digest[$p]=$(tr -d '\r' <"$logs/$p.run.log" | sed -n 's/^session digest: \(0x[0-9a-f]*\).*/\1/p' | sort -u | paste -sd ' ')
  took[$p]=$((SECONDS - t0))
done

# ---------------------------------------------------------------- the package
dek=""
if bash scripts/package.sh "$logs/package" >"$logs/package.log" 2>&1; then
  dek=$(ls "$logs"/package/*.dek)
  echo "matrix: package $(basename "$dek")"
else
  echo "matrix: packaging failed:"; cat "$logs/package.log"
fi

# ---------------------------------------------------------------- Linux runs
for p in "${wanted[@]}"; do
  case $p in linux-*) ;; *) continue ;; esac
  t0=$SECONDS
  dir=${folder[$p]}
  if [ "${built[$dir]}" = failed ]; then
    failed[$p]=$((${failed[$p]:-0} + 1))
    took[$p]=$((${took[$p]} + SECONDS - t0))
    continue
  fi
  pd=$(bash scripts/pd_command.sh "${host[$p]}")
  plugin=$(ls "$dir"/rondel~/rondel~.* | grep -v -- '-help\|-meta\|\.md$\|\.txt$' | grep '/rondel~\.' | head -n 1)
  objdump=objdump nm=nm
  if [ -n "${toolchain[$p]:-}" ]; then objdump=${toolchain[$p]}-objdump nm=${toolchain[$p]}-nm; fi
  # The unit tests once per build: Pd 0.55 and 0.57 run the build tested with 0.53.
  case $p in
    *-0.55|*-0.57) digest[$p]=${digest[${p%-0.5?}]:-} ;;
    *)
      gtest "$p" unit_tests ${emulator[$p]:-} "$dir/tests/unit_tests"
      which=float; [ "${floats[$p]:-32}" = 64 ] && which=double
      digest[$p]=$(sed -n "s/^session digest: .*$which samples \(0x[0-9a-f]*\).*/\1/p" "$logs/$p.unit_tests.log")
      check "$p" perform_calls bash tests/perform_calls_check.sh "$plugin" "$objdump"
      check "$p" exports bash tests/exports_check.sh linux "$plugin" "$nm"
      ;;
  esac
  # Only the x86 plug-ins with 32-bit floats choose a vector path at load.
  dispatches=0
  case $p in linux-amd64|linux-amd64-0.5?|linux-i386) dispatches=1 ;; esac
  gtest "$p" host_tests env RONDEL_PD="$pd" RONDEL_PLUGIN_DIR="$src/$dir/rondel~" \
    RONDEL_PLUGIN_DISPATCHES=$dispatches build/tests/host_tests
  [ -n "$dek" ] && check "$p" package open_package "$pd"
  took[$p]=$((${took[$p]} + SECONDS - t0))
done

# ---------------------------------------------------------------- the table
total_passed=0 total_failed=0
printf '\n| platform | Pd | file | tests passed | failed | session digest | time (s) |\n|---|---|---|---|---|---|---|\n'
for p in "${wanted[@]}"; do
  case $p in
    linux-amd64) pd="0.53 (bookworm)" file=rondel~.l_amd64 ;;
    linux-amd64-0.55) pd="0.55 (trixie)" file=rondel~.l_amd64 ;;
    linux-amd64-0.57) pd="0.57 (forky)" file=rondel~.l_amd64 ;;
    linux-amd64-pd64) pd="pd64 0.57 (forky)" file=rondel~.linux-amd64-64.so ;;
    linux-arm64) pd="0.53 (bookworm), qemu" file=rondel~.l_arm64 ;;
    linux-arm64-0.57) pd="0.57 (forky), qemu" file=rondel~.l_arm64 ;;
    linux-armhf) pd="0.53 (bookworm), qemu" file=rondel~.l_arm ;;
    linux-armhf-0.57) pd="0.57 (forky), qemu" file=rondel~.l_arm ;;
    linux-i386) pd="0.53 (bookworm)" file=rondel~.l_i386 ;;
    windows-amd64) pd="stand-in, wine64" file=rondel~.m_amd64 ;;
    windows-i386) pd="stand-in, wine32" file=rondel~.m_i386 ;;
    windows-amd64-pd64) pd="stand-in pd64, wine64" file=rondel~.windows-amd64-64.dll ;;
  esac
  d=${digest[$p]:-none}
  if [ "$d" = "$want_digest" ]; then
    d="$d (same)"
  else
    d="$d (expected $want_digest)"
    failed[$p]=$((${failed[$p]:-0} + 1))
  fi
  printf '| %s | %s | `%s` | %d | %d | %s | %d |\n' "$p" "$pd" "$file" "${passed[$p]:-0}" "${failed[$p]:-0}" "$d" "${took[$p]:-0}"
  total_passed=$((total_passed + ${passed[$p]:-0}))
  total_failed=$((total_failed + ${failed[$p]:-0}))
done
echo
echo "matrix: $total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
