#!/usr/bin/env bash
# Makes the deken package: rondel~[vX.Y.Z](Linux-amd64-32)(…).dek, a zip
# archive with one top folder rondel~/ (plug-ins, help and meta files,
# README, LICENSE), its .dek.sha256 and the .dek.txt object list. Every
# plug-in built in the platform folders (build-arm64/, build-win/ …, see
# scripts/matrix.sh) goes in beside this machine's, each under the file name
# Pd looks for, and the package name lists them all.
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
cp "$build/rondel~/rondel~-help.pd" "$build/rondel~/rondel~-meta.pd" "$stage/rondel~/"
cp help/README.md "$stage/rondel~/README.md"
cp LICENSE "$stage/rondel~/LICENSE.txt"
# The plug-in's file name and its architecture as deken names it.
archs=()
for dir in "$build" build build-pd64 build-arm64 build-armhf build-i386 build-win build-win32 build-win-pd64; do
  for f in "$dir"/rondel~/rondel~.*; do
    case ${f##*/rondel~.} in
      l_amd64) arch=Linux-amd64-32 ;;
      linux-amd64-64.so) arch=Linux-amd64-64 ;;
      l_arm64) arch=Linux-arm64-32 ;;
      l_arm) arch=Linux-armv7-32 ;;
      l_i386) arch=Linux-i386-32 ;;
      m_amd64) arch=Windows-amd64-32 ;;
      m_i386) arch=Windows-i386-32 ;;
      windows-amd64-64.dll) arch=Windows-amd64-64 ;;
      *) continue ;;
    esac
    [ -e "$stage/rondel~/${f##*/}" ] && continue
    cp "$f" "$stage/rondel~/"
    archs+=("$arch")
  done
done
[ ${#archs[@]} -gt 0 ] || { echo "package: no plug-in built in $build" >&2; exit 1; }
archs=$(printf '(%s)' $(printf '%s\n' "${archs[@]}" | sort))

name="rondel~[v$version]$archs.dek"
rm -f "$out"/rondel~\[v*.dek*
( cd "$stage" && cmake -E tar cf "$out/$name" --format=zip "rondel~" )
# Pd's deken compares the whole file, trimmed, with the bare digest.
sha256sum "$out/$name" | cut -d " " -f 1 > "$out/$name.sha256"
description=$(sed -n 's/^#X text [0-9]* [0-9]* DESCRIPTION \(.*\);$/\1/p' "$build/rondel~/rondel~-help.pd" | head -n 1)
printf 'rondel~\t%s\n' "$description" > "$out/$name.txt"
echo "$out/$name"
