#!/usr/bin/env bash
# What a Pd user meets first, checked in the real host:
#   help     the help patch opens with every box created and every wire made;
#   install  `cmake --install` makes one rondel~/ folder that Pd finds by its
#            search path, and the help patch opens from there;
#   package  the deken archive is named as deken expects and holds the files.
# Usage: tests/pd_user_test.sh help|install|package BUILD_DIR
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
    ;;
  install)
    cmake --install "$build" --prefix "$tmp/extra" >/dev/null
    for f in rondel~.pd_linux rondel~-help.pd rondel~-meta.pd README.md LICENSE.txt; do
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
    case "$dek" in
      "./rondel~[v$version](Linux-amd64-32).dek"|"./rondel~[v$version](Linux-amd64-32)(Windows-amd64-32).dek") ;;
      *) echo "FAIL: package named $dek"; exit 1 ;;
    esac
    echo "ok: named $dek"
    ( cd "$tmp/out" && sha256sum -c "$dek.sha256" >/dev/null ) || { echo "FAIL: checksum"; exit 1; }
    printf 'rondel~\tspread one signal over N loudspeakers on a circle\n' | cmp -s - "$tmp/out/$dek.txt" ||
      { echo "FAIL: object list:"; cat "$tmp/out/$dek.txt"; exit 1; }
    listing=$(cd "$tmp/out" && cmake -E tar tf "$dek" | sed 's|/$||' | sort)
    want=$(printf '%s\n' "rondel~" "rondel~/LICENSE.txt" "rondel~/README.md" "rondel~/rondel~-help.pd" \
             "rondel~/rondel~-meta.pd" "rondel~/rondel~.pd_linux" | sort)
    case "$dek" in *Windows*) want=$(printf '%s\nrondel~/rondel~.dll\n' "$want" | sort) ;; esac
    [ "$listing" = "$want" ] || { echo "FAIL: archive holds:"; echo "$listing"; exit 1; }
    echo "ok: archive holds one folder rondel~/ with $(echo "$listing" | wc -l) entries"
    # The unpacked folder works as a Pd search path entry.
    ( cd "$tmp" && mkdir unpacked && cd unpacked && cmake -E tar xf "$tmp/out/$dek" )
    open_in_pd "$tmp/log" "$tmp/unpacked/rondel~/rondel~-help.pd" -path "$tmp/unpacked"
    clean_log "$tmp/log" "help patch opens from the unpacked package"
    ;;
  *) echo "usage: $0 help|install|package BUILD_DIR" >&2; exit 2 ;;
esac
