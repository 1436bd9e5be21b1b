#!/usr/bin/env bash
# Prints the command that starts Debian's Pd of one host brought up by
# scripts/hosts.sh, for RONDEL_PD or by hand, e.g.
#   $(bash scripts/pd_command.sh arm64) -nogui -path build-arm64/rondel~ -open patch.pd
# Hosts: amd64 (this machine's own pd, 0.53), amd64-0.55, amd64-0.57,
# amd64-pd64, arm64, armhf, i386 (0.53), arm64-0.57, armhf-0.57. The unpacked roots hold no package
# scripts' work: each Pd runs through its root's own loader and libraries,
# under qemu-user where the CPU is foreign, and without real-time priority
# (-nrt): as root Pd would start its watchdog, a program of the root's that
# this machine cannot start by itself.
# Usage: scripts/pd_command.sh HOST [DIR=build-hosts]
set -euo pipefail
host=$1
dir=$(cd "$(dirname "$0")/.." && pwd)/build-hosts
[ -n "${2:-}" ] && dir=$(cd "$2" && pwd)

# through_loader ROOT TRIPLE LOADER PROGRAM: the root's ld.so with the root's libraries
through_loader() {
  local root=$dir/$1
  [ -x "$root/usr/lib/puredata/bin/$4" ] || { echo "pd_command: $root not brought up (scripts/hosts.sh)" >&2; exit 1; }
  echo "$root/$3 --library-path $root/lib/$2:$root/usr/lib/$2 $root/usr/lib/puredata/bin/$4 -nrt"
}
# under_qemu ROOT QEMU: the foreign pd, its libraries looked up in the root first
under_qemu() {
  local root=$dir/$1
  [ -x "$root/usr/lib/puredata/bin/pd" ] || { echo "pd_command: $root not brought up (scripts/hosts.sh)" >&2; exit 1; }
  echo "$2 -L $root $root/usr/lib/puredata/bin/pd -nrt"
}

case $host in
  amd64) command -v pd ;;
  amd64-0.55) through_loader trixie-amd64 x86_64-linux-gnu usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 pd ;;
  amd64-0.57) through_loader forky-amd64 x86_64-linux-gnu usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 pd ;;
  amd64-pd64) through_loader forky-amd64 x86_64-linux-gnu usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 pd64 ;;
  i386) through_loader bookworm-i386 i386-linux-gnu lib/ld-linux.so.2 pd ;;
  arm64) under_qemu bookworm-arm64 qemu-aarch64-static ;;
  armhf) under_qemu bookworm-armhf qemu-arm-static ;;
  arm64-0.57) under_qemu forky-arm64 qemu-aarch64-static ;;
  armhf-0.57) under_qemu forky-armhf qemu-arm-static ;;
  *) echo "pd_command: unknown host $host" >&2; exit 2 ;;
esac
