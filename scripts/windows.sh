#!/usr/bin/env bash
# Cross-builds a Windows plug-in with MinGW-w64, checks its export and import
# tables, and runs it under Wine with the stand-in host against the vectors
# the Linux tests use:
#   amd64       64-bit Pd, 32-bit floats (rondel~.m_amd64) in build-win/, under the machine's wine64
#   i386        32-bit Pd (rondel~.m_i386) in build-win32/, under wine32 in the i386 chroot of
#               scripts/hosts.sh (Debian's wine32 is not installed on the machine itself)
#   amd64-pd64  64-bit Pd64 (rondel~.windows-amd64-64.dll) in build-win-pd64/, under wine64
# Usage: scripts/windows.sh [amd64|i386|amd64-pd64] (default amd64)
set -euo pipefail
cd "$(dirname "$0")/.."
variant=${1:-amd64}
case $variant in
  amd64) triple=x86_64-w64-mingw32 toolchain=mingw-w64-x86_64 build=build-win floats=32 ext=m_amd64 ;;
  amd64-pd64) triple=x86_64-w64-mingw32 toolchain=mingw-w64-x86_64 build=build-win-pd64 floats=64 ext=windows-amd64-64.dll ;;
  i386) triple=i686-w64-mingw32 toolchain=mingw-w64-i686 build=build-win32 floats=32 ext=m_i386 ;;
  *) echo "usage: $0 [amd64|i386|amd64-pd64]" >&2; exit 2 ;;
esac
if [ "$variant" = i386 ]; then
  bash scripts/setup.sh g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  bash scripts/hosts.sh build-hosts wine-i386 >/dev/null
else
  bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
fi
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" -DRONDEL_FLOATSIZE="$floats" \
  -DRONDEL_TESTS=ON -DRONDEL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
bash tests/exports_check.sh windows "$build/rondel~/rondel~.$ext" "$triple-objdump"
# The DLL is stripped: the perform routines are read in the object files.
for obj in "$build"/CMakeFiles/rondel_tilde.dir/src/rondel_tilde*.cpp.obj; do
  bash tests/perform_calls_check.sh "$obj" "$triple-objdump"
done

# under_wine RUN_FOLDER SIMD: windows_run.exe of that folder under Wine
under_wine() {
  if [ "$variant" = i386 ]; then
    # A private mount namespace: the chroot sees the run folder and its own
    # /proc, and nothing is left mounted afterwards. Its Wine prefix is kept.
    local root run
    root=$(cd build-hosts/wine-i386 && pwd)
    run=$(cd "$build/$1" && pwd)
    mkdir -p "$root/mnt/run"
    unshare --mount --propagation private -- sh -c '
      mount -t proc proc "$1/proc" && mount --bind "$2" "$1/mnt/run" &&
      exec chroot "$1" env HOME=/root WINEPREFIX=/root/.wine WINEDEBUG=-all RONDEL_SIMD="$3" \
        sh -c "cd /mnt/run && /usr/lib/wine/wine windows_run.exe"
    ' sh "$root" "$run" "$2"
  else
    local wine=/usr/lib/wine/wine64
    [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
    ( cd "$build/$1" && RONDEL_SIMD=$2 WINEDEBUG=-all "$wine" windows_run.exe )
  fi
}

# The run loads the plug-in from its own folder, beside the stand-in pd.dll:
# one without multichannel signals, one with them; each on the widest vector
# path the CPU has and on the SSE2 baseline.
for run in windows-run windows-run-mc; do
  cp "$build/rondel~/rondel~.$ext" "$build/$run/rondel~.dll"
  for simd in "" sse2; do
    log=$build/$run${simd:+-$simd}.log
    status=0
    under_wine "$run" "$simd" > "$log" 2>&1 || status=$?
    tr -d '\r' <"$log" | grep -v -E "^wine: (created|configuration|failed to open)|^[0-9a-f]+:err:" |
      sed "s/^windows run:/$run${simd:+ ($simd)}:/" || true
    [ "$status" -eq 0 ] && tr -d '\r' <"$log" | grep -q -E "^windows run: [0-9]+ passed, 0 failed" || exit 1
  done
done
