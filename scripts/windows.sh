#!/usr/bin/env bash
# Cross-builds the Windows plug-in with MinGW-w64 into build-win/rondel~/,
# checks its export and import tables, and runs it under Wine with the
# stand-in host against the vectors the Linux tests use.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DRONDEL_TESTS=ON -DRONDEL_BENCH=OFF >/dev/null
cmake --build build-win -j"$(nproc)"
bash tests/exports_check.sh windows build-win/rondel~/rondel~.dll x86_64-w64-mingw32-objdump
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
# The run loads the plug-in from its own folder, beside the stand-in pd.dll:
# one without multichannel signals, one with them; each on the widest vector
# path the CPU has and on the SSE2 baseline.
for run in windows-run windows-run-mc; do
  cp build-win/rondel~/rondel~.dll build-win/$run/
  for simd in "" sse2; do
    log=build-win/$run${simd:+-$simd}.log
    status=0
    ( cd build-win/$run && RONDEL_SIMD=$simd WINEDEBUG=-all "$wine" windows_run.exe ) > "$log" 2>&1 || status=$?
    grep -v -E "^wine: (created|configuration|failed to open)" "$log" | sed "s/^windows run:/$run${simd:+ ($simd)}:/" || true
    [ "$status" -eq 0 ] && grep -q -E "^windows run: [0-9]+ passed, 0 failed" "$log" || exit 1
  done
done
