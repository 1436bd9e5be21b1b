#!/usr/bin/env bash
# What a Pd user meets first, checked in the real host:
#   help     the help patch opens with every box created and every wire made;
#   install  `cmake --install` makes one rondel~/ folder that Pd finds by its
#            search path, and the help patch opens from there;
#   package  the deken archive is named as deken expects and holds the files;
#   source   a build from source on a machine without Google Test or Google
#            Benchmark makes the plug-in and its help, and no test program.
# Usage: tests/pd_user_test.sh help|install|package|source BUILD_DIR
# RONDEL_PD, if set, is the pd command to run (default: pd).
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d /tmp/rondel-user-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
banner="rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet"

# open_in_pd LOG PATCH [pd flags...]: opens a patch headless, then quits
open_in_pd() {
  local log=$1 patch=$2
  shift 2
  ( cd "$(dirname "$patch")" &&
    timeout 60 ${RONDEL_PD:-pd} -nogui -nosound -batch -noprefs -stderr "$@" -open "$(basename "$patch")" -send "pd quit" ) >"$log" 2>&1
}

# clean_log LOG WHAT: the plug-in loaded once and nothing failed
clean_log() {
  if grep -q -i -E "couldn't create|error|connection failed|no such object|bad arguments" "$1"; then
    echo "FAIL: $2:"; cat "$1"; exit 1
  fi
  [ "$(grep -c -x -F "$banner" "$1")" -eq 1 ] || { echo "FAIL: $2: plug-in not loaded:"; cat "$1"; exit 1; }
  echo "ok: $2"
}

case $mode in
  help)
    open_in_pd "$tmp/log" "$build/rondel~/rondel~-help.pd"
    clean_log "$tmp/log" "help patch opens in the build folder"
    grep -q "updated for rondel~ [0-9]" "$build/rondel~/rondel~-help.pd" || { echo "FAIL: no version in the help"; exit 1; }
    describe() { sed -n 's/^#X text [0-9]* [0-9]* DESCRIPTION \(.*\);$/\1/p' "$1" ; }
    help_says=$(describe "$build/rondel~/rondel~-help.pd")
    meta_says=$(describe "$build/rondel~/rondel~-meta.pd")
    [ -n "$help_says" ] && [ "$help_says" = "$meta_says" ] ||
      { echo "FAIL: the help describes the object as '$help_says', the meta file as '$meta_says'"; exit 1; }
    echo "ok: help and meta file describe the object alike"
    ;;
  install)
    cmake --install "$build" --prefix "$tmp/extra" >/dev/null
    plugin=$(cd "$build/rondel~" && ls -t | grep '^rondel~\.' | head -n 1)  # the newest: older builds may have left other names
    for f in "$plugin" rondel~-help.pd rondel~-meta.pd README.md LICENSE.txt; do
      [ -f "$tmp/extra/rondel~/$f" ] || { echo "FAIL: $f not installed"; ls -R "$tmp/extra"; exit 1; }
    done
    echo "ok: installed into $tmp/extra/rondel~"
    open_in_pd "$tmp/log1" "$tmp/extra/rondel~/rondel~-help.pd" -path "$tmp/extra"
    clean_log "$tmp/log1" "help patch opens from the installed folder"
    # A patch elsewhere finds the object through the search path alone.
    mkdir "$tmp/elsewhere"
    printf '#N canvas 0 0 300 200 12;\n#X obj 10 10 rondel~ 8;\n#X obj 10 60 dac~;\n#X connect 0 7 1 0;\n' \
      > "$tmp/elsewhere/uses-it.pd"
    open_in_pd "$tmp/log2" "$tmp/elsewhere/uses-it.pd" -path "$tmp/extra"
    clean_log "$tmp/log2" "a patch elsewhere finds [rondel~ 8] through the search path"
    ;;
  package)
    RONDEL_BUILD_DIR=$build bash "$src/scripts/package.sh" "$tmp/out" >/dev/null
    version=$(sed -n 's/^project(rondel_tilde VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
    dek=$(cd "$tmp/out" && ls ./*.dek)
    # The name as Pd's deken plugin parses it: rondel~[vVERSION](OS-CPU-FLOATSIZE)…
    archs=$(sed -n 's/^\.\/rondel~\[v'"$version"'\]\(\(([A-Za-z]*-[a-z0-9]*-\(32\|64\))\)*\)\.dek$/\1/p' <<<"$dek" | tr '()' '\n\n' | grep . || true)
    [ -n "$archs" ] || { echo "FAIL: package named $dek"; exit 1; }
    echo "ok: named $dek"
    # The checksum as Pd's deken checks it, with its own code; the line that
    # sha256sum writes (digest, two spaces, name) must fail the same check.
    deken_tcl=${PD_DEKEN_TCL:-/usr/lib/puredata/tcl/pd_deken.tcl}
    [ -f "$deken_tcl" ] || { echo "FAIL: no $deken_tcl to check the checksum with (install puredata-gui)"; exit 1; }
    deken_accepts() { tclsh "$src/tests/deken_sha256_check.tcl" "$deken_tcl" "$1"; }
    grep -q -x -E "[0-9a-f]{64}" "$tmp/out/$dek.sha256" || { echo "FAIL: checksum file:"; cat "$tmp/out/$dek.sha256"; exit 1; }
    [ "$(deken_accepts "$tmp/out/$dek")" = 1 ] || { echo "FAIL: Pd's deken refuses the checksum"; exit 1; }
    mkdir "$tmp/line"
    cp "$tmp/out/$dek" "$tmp/line/"
    ( cd "$tmp/line" && sha256sum "$dek" > "$dek.sha256" )
    [ "$(deken_accepts "$tmp/line/$dek")" = 0 ] || { echo "FAIL: the deken check accepts sha256sum's line too"; exit 1; }
    echo "ok: Pd's deken accepts the checksum file (and refuses sha256sum's line)"
    printf 'rondel~\tspread one signal over N loudspeakers on a circle\n' | cmp -s - "$tmp/out/$dek.txt" ||
      { echo "FAIL: object list:"; cat "$tmp/out/$dek.txt"; exit 1; }
    listing=$(cd "$tmp/out" && cmake -E tar tf "$dek" | sed 's|/$||' | sort)
    want=$(printf '%s\n' "rondel~" "rondel~/LICENSE.txt" "rondel~/README.md" "rondel~/rondel~-help.pd" \
             "rondel~/rondel~-meta.pd" | sort)
    # Each architecture in the name, one plug-in under the name its Pd looks for.
    while read -r arch; do
      case $arch in
        Linux-amd64-32) f=rondel~.l_amd64 ;;
        Linux-amd64-64) f=rondel~.linux-amd64-64.so ;;
        Linux-arm64-32) f=rondel~.l_arm64 ;;
        Linux-armv7-32) f=rondel~.l_arm ;;
        Linux-i386-32) f=rondel~.l_i386 ;;
        Windows-amd64-32) f=rondel~.m_amd64 ;;
        Windows-i386-32) f=rondel~.m_i386 ;;
        Windows-amd64-64) f=rondel~.windows-amd64-64.dll ;;
        *) echo "FAIL: unknown architecture $arch in $dek"; exit 1 ;;
      esac
      want=$(printf '%s\nrondel~/%s\n' "$want" "$f" | sort)
    done <<<"$archs"
    [ "$listing" = "$want" ] || { echo "FAIL: archive holds:"; echo "$listing"; exit 1; }
    echo "ok: archive holds one folder rondel~/ with $(echo "$listing" | wc -l) entries"
    # The unpacked folder works as a Pd search path entry.
    ( cd "$tmp" && mkdir unpacked && cd unpacked && cmake -E tar xf "$tmp/out/$dek" )
    # Its README is the user's, and everything it links to is in the package.
    readme=$tmp/unpacked/rondel~/README.md
    grep -q "Install DEK file" "$readme" || { echo "FAIL: the package's README is not the user's:"; head "$readme"; exit 1; }
    links=$(sed 's/`[^`]*`//g' "$readme" | grep -o -E '\]\([^)]+\)' | sed 's/^](//; s/)$//' | grep -v -E '^[a-z]+:' || true)
    for link in $links; do
      [ -e "$tmp/unpacked/rondel~/$link" ] || { echo "FAIL: README links to $link, which the package lacks"; exit 1; }
    done
    echo "ok: the package's README is the user's, with no link to a missing file"
    open_in_pd "$tmp/log" "$tmp/unpacked/rondel~/rondel~-help.pd" -path "$tmp/unpacked"
    clean_log "$tmp/log" "help patch opens from the unpacked package"
    ;;
  source)
    # A user's two lines, on a machine that lacks both test libraries.
    cmake -S "$src" -B "$tmp/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE \
      -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=TRUE >"$tmp/configure.log" 2>&1 ||
      { echo "FAIL: configure:"; cat "$tmp/configure.log"; exit 1; }
    grep -q "^-- rondel~: skipping the tests .* and benchmarks" "$tmp/configure.log" ||
      { echo "FAIL: no line saying the tests are skipped:"; cat "$tmp/configure.log"; exit 1; }
    touch "$tmp/configured"
    cmake --build "$tmp/build" -j2 >"$tmp/build.log" 2>&1 || { echo "FAIL: build:"; cat "$tmp/build.log"; exit 1; }
    plugin=$(cd "$build/rondel~" && ls -t | grep '^rondel~\.' | head -n 1)  # named for this machine's CPU
    for f in "$plugin" rondel~-help.pd rondel~-meta.pd README.md LICENSE.txt; do
      [ -f "$tmp/build/rondel~/$f" ] || { echo "FAIL: the build made no $f"; exit 1; }
    done
    built=$(cd "$tmp/build" && find . -type f -newer "$tmp/configured" ! -path "*/CMakeFiles/*")
    [ "$built" = "./rondel~/$plugin" ] || { echo "FAIL: a user's build made:"; echo "$built"; exit 1; }
    echo "ok: a plain build without the test libraries makes the plug-in and its help only"
    # Asking for the tests there says what is missing instead of building half.
    if cmake -S "$src" -B "$tmp/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE -DRONDEL_TESTS=ON \
         >"$tmp/tests.log" 2>&1; then
      echo "FAIL: tests turned on without Google Test configured:"; cat "$tmp/tests.log"; exit 1
    fi
    grep -q "GTest" "$tmp/tests.log" || { echo "FAIL: no word of Google Test:"; cat "$tmp/tests.log"; exit 1; }
    echo "ok: tests turned on without Google Test stop the configure and name it"
    ;;
  *) echo "usage: $0 help|install|package|source BUILD_DIR" >&2; exit 2 ;;
esac
