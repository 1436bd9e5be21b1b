#!/usr/bin/env bash
# The plug-in shows the host one name only, rondel_tilde_setup, and (on
# Windows) takes what it needs from pd.dll and Windows' own DLLs alone.
# Usage: tests/exports_check.sh linux FILE [NM] | windows FILE.dll OBJDUMP
set -euo pipefail
case $1 in
  linux)
    exports=$("${3:-nm}" -D --defined-only "$2" | awk '{ print $NF }')
    [ "$exports" = "rondel_tilde_setup" ] || { echo "FAIL: $2 exports:"; echo "$exports"; exit 1; }
    echo "ok: $2 exports only rondel_tilde_setup"
    ;;
  windows)
    dump=$("$3" -p "$2")
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\s*\[ *[0-9]*\] //p')
    [ "$exports" = "rondel_tilde_setup" ] || { echo "FAIL: $2 exports:"; echo "$exports"; exit 1; }
    echo "ok: $2 exports only rondel_tilde_setup"
    dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | sort -u)
    while read -r dll; do
      case "${dll,,}" in
        pd.dll|kernel32.dll|msvcrt.dll|api-ms-win-*.dll) ;;
        *) echo "FAIL: $2 imports from $dll"; exit 1 ;;
      esac
    done <<<"$dlls"
    echo "ok: imports only from $(tr '\n' ' ' <<<"$dlls")"
    ;;
  *) echo "usage: $0 linux FILE [NM] | windows FILE OBJDUMP" >&2; exit 2 ;;
esac
