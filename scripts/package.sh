#!/usr/bin/env bash
# Makes the deken package: rondel~[vX.Y.Z](Linux-amd64-32)[(Windows-amd64-32)].dek,
# a zip archive with one top folder rondel~/ (plug-ins, help and meta files,
# README, LICENSE), its .dek.sha256 and the .dek.txt object list. The Windows
# plug-in goes in when build-win/ holds one (see the README).
# Usage: scripts/package.sh [OUTPUT_DIR=build/package]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-build/package}" && cd "${1:-build/package}" && pwd)

if [ -z "${RONDEL_BUILD_DIR:-}" ]; then
  bash scripts/setup.sh
  cmake -S . -B build >/dev/null
  cmake --build build -j"$(nproc)" --target rondel_tilde >/dev/null
fi
build=${RONDEL_BUILD_DIR:-build}
version=$(sed -n 's/^project(rondel_tilde VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

stage=$(mktemp -d /tmp/rondel-package-XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/rondel~"
archs="(Linux-amd64-32)"
cp "$build/rondel~/rondel~.pd_linux" "$build/rondel~/rondel~-help.pd" "$build/rondel~/rondel~-meta.pd" "$stage/rondel~/"
cp help/README.md "$stage/rondel~/README.md"
cp LICENSE "$stage/rondel~/LICENSE.txt"
if [ -f build-win/rondel~/rondel~.dll ]; then
  cp build-win/rondel~/rondel~.dll "$stage/rondel~/"
  archs+="(Windows-amd64-32)"
fi

name="rondel~[v$version]$archs.dek"
rm -f "$out"/rondel~\[v*.dek*
( cd "$stage" && cmake -E tar cf "$out/$name" --format=zip "rondel~" )
# Pd's deken compares the whole file, trimmed, with the bare digest.
sha256sum "$out/$name" | cut -d " " -f 1 > "$out/$name.sha256"
description=$(sed -n 's/^#X text [0-9]* [0-9]* DESCRIPTION \(.*\);$/\1/p' "$build/rondel~/rondel~-help.pd" | head -n 1)
printf 'rondel~\t%s\n' "$description" > "$out/$name.txt"
echo "$out/$name"
