#!/usr/bin/env bash
# Builds everything and runs every test:
#  1. the release build: unit tests, in-host tests (in the machine's Pd and
#     in Debian's Pd 0.55 and 0.57, brought up by scripts/hosts.sh), the
#     in-host tests under valgrind, and a short soak in the host;
#  2. the same plug-in and tests built with AddressSanitizer and
#     UndefinedBehaviorSanitizer (the host loads their runtimes first);
#  3. one minute of fuzzing from the seed corpus;
#  4. every platform in its own real host (scripts/matrix.sh): Linux x86-64
#     in Pd 0.53, 0.55, 0.57 and pd64, arm64 and armhf under qemu-user, i386,
#     and the Windows plug-ins (x86-64, i386, Pd64) under Wine, against the
#     same vectors; all of them in one deken package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh clang libclang-rt-14-dev valgrind puredata-gui \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
jobs=$(nproc)

echo "== newer hosts"
bash scripts/hosts.sh build-hosts trixie-amd64 forky-amd64
newer="amd64-0.55;amd64-0.57"

echo "== release build"
cmake -S . -B build -DRONDEL_TESTS=ON -DRONDEL_BENCH=ON -DRONDEL_NEWER_PDS="$newer" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure

echo "== sanitizer build"
cmake -S . -B build-san -DRONDEL_TESTS=ON -DRONDEL_NEWER_PDS="$newer" -DRONDEL_SANITIZE=ON -DRONDEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-san -j"$jobs"
ctest --test-dir build-san --output-on-failure

echo "== fuzzing"
bash scripts/fuzz.sh "${RONDEL_FUZZ_SECONDS:-60}"

echo "== every platform"
bash scripts/matrix.sh
