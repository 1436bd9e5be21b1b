#!/usr/bin/env bash
# Brings up Debian's Pd of newer releases beside the machine's own, for the
# multichannel tests: trixie (Pd 0.55) and forky (Pd 0.57), each extracted
# into its own root under build-mc-hosts/, with a `pd-SUITE` launcher that
# starts that Pd through the root's own dynamic loader and libraries (no
# chroot, no mounts: the host's /tmp and this tree stay where they are).
# forky's root also holds that Pd's headers, to read.
#
# Usage: scripts/mc_hosts.sh [SUITE ...]      (default: trixie forky)
# Prints one line per suite: SUITE LAUNCHER. The launcher is what
# RONDEL_PD takes, e.g. RONDEL_PD=build-mc-hosts/pd-forky.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD/build-mc-hosts
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(trixie forky)

# The Debian mirror this machine already uses, read from its apt sources.
mirror() {
  local uri
  uri=$(awk 'tolower($1) == "uris:" { u = $2 }
             tolower($1) == "suites:" && u != "" { if ($0 !~ /-security/) { print u; exit } }' \
          /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk '$1 == "deb" && $0 !~ /-security/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' \
            /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || { echo "mc_hosts: no Debian mirror in /etc/apt" >&2; exit 1; }
  echo "$uri"
}

command -v mmdebstrap >/dev/null || bash scripts/setup.sh mmdebstrap
url=$(mirror)
mkdir -p "$top"
for suite in "${suites[@]}"; do
  root=$top/$suite
  launcher=$top/pd-$suite
  if [ ! -x "$launcher" ]; then
    rm -rf "$root"
    pkgs=puredata-core,puredata-extra  # extra: output~, which the help patch uses
    [ "$suite" = forky ] && pkgs+=,puredata-dev
    # A suite still in testing may carry a Release file past its Valid-Until.
    mmdebstrap --quiet --variant=extract --include="$pkgs" \
      --aptopt='Acquire::Check-Valid-Until "false"' \
      "$suite" "$root" "$url" >"$top/$suite.log" 2>&1 ||
      { echo "mc_hosts: mmdebstrap $suite failed:" >&2; tail -20 "$top/$suite.log" >&2; exit 1; }
    ldso=$(cd "$root" && { ls lib64/ld-linux-x86-64.so.2 usr/lib64/ld-linux-x86-64.so.2 2>/dev/null || true; } | head -1)
    [ -n "$ldso" ] || { echo "mc_hosts: no dynamic loader in $root" >&2; exit 1; }
    # The program itself: newer packages name it puredata, older ones pd.
    pd=
    for name in usr/bin/puredata usr/bin/pd; do
      if [ -f "$root/$name" ] && [ ! -L "$root/$name" ]; then pd=$root/$name; break; fi
    done
    [ -n "$pd" ] || { echo "mc_hosts: no pd program in $root" >&2; exit 1; }
    # Started from usr/bin, Pd looks for its own files (extra/, doc/) under
    # usr/lib; Debian keeps them in usr/lib/puredata.
    for d in extra doc; do
      [ -e "$root/usr/lib/puredata/$d" ] && [ ! -e "$root/usr/lib/$d" ] && ln -s "puredata/$d" "$root/usr/lib/$d"
    done
    cat >"$launcher" <<EOF
#!/bin/sh
# Debian $suite's Pd, run with its own loader and libraries.
root='$root'
exec "\$root/$ldso" --library-path "\$root/usr/lib/x86_64-linux-gnu:\$root/lib/x86_64-linux-gnu" "$pd" "\$@"
EOF
    chmod +x "$launcher"
  fi
  echo "$suite $launcher"
done
