#!/usr/bin/env bash
# Brings up Debian's own Pd for every platform the plug-in is tested on, each
# in its own root under DIR (default build-hosts/), from the machine's own
# Debian mirror:
#   bookworm-arm64, bookworm-armhf, bookworm-i386   Pd 0.53 (foreign ones run under qemu-user)
#   trixie-amd64                                    Pd 0.55
#   forky-amd64                                     Pd 0.57 and pd64 (double precision)
#   forky-arm64, forky-armhf                        Pd 0.57 (under qemu-user)
#   wine-i386                                       a bookworm i386 system with wine32, run as a chroot
# The Pd roots are unpacked only (no package scripts run); their pd is started
# through the root's own loader (see scripts/pd_host.sh). A root already
# brought up is left as it is. Run as root.
# Usage: scripts/hosts.sh [DIR=build-hosts] [ROOT ...]   (default: all roots)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-hosts}
shift || true
all=(bookworm-arm64 bookworm-armhf bookworm-i386 trixie-amd64 forky-amd64 forky-arm64 forky-armhf wine-i386)
wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=("${all[@]}")

bash scripts/setup.sh mmdebstrap qemu-user-static arch-test
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The Debian mirror this machine installs from: the first "main" source in apt's configuration.
mirror() {
  local m
  m=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
      /^[ \t]*#/ { next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { suites = $0 }
      /^$/ { if (uri != "" && suites !~ /-security/) { print uri; exit } uri = ""; suites = "" }
      END { if (uri != "" && suites !~ /-security/) print uri }' | head -n 1)
  if [ -z "$m" ]; then
    m=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk '$1 == "deb" && $0 !~ /security/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' | head -n 1)
  fi
  [ -n "$m" ] || { echo "hosts: no Debian mirror found in /etc/apt" >&2; exit 1; }
  echo "${m%/}"
}
MIRROR=$(mirror)

# bring_up NAME ARCH SUITE VARIANT PACKAGES: one root, made once; a stamp marks it complete.
bring_up() {
  local name=$1 arch=$2 suite=$3 variant=$4 packages=$5
  local root=$dir/$name
  if [ "$(cat "$root.ready" 2>/dev/null)" = "$suite $arch $packages" ]; then
    echo "hosts: $name ready"
    return
  fi
  rm -rf "$root"
  local start=$SECONDS
  # Releases past their support date (forky's Release here) carry an old Valid-Until.
  mmdebstrap --quiet --variant="$variant" --arch="$arch" --include="$packages" \
    --aptopt='Acquire::Check-Valid-Until "false"' \
    "$suite" "$root" "$MIRROR" >"$root.log" 2>&1 || { echo "hosts: $name failed:" >&2; cat "$root.log" >&2; exit 1; }
  # Newer releases keep everything under /usr, and the links from / are made
  # by a package script that unpacking does not run: the loader qemu-user
  # looks for in ROOT/lib needs them.
  local d
  for d in lib lib64; do
    [ -e "$root/$d" ] || [ ! -d "$root/usr/$d" ] || ln -s "usr/$d" "$root/$d"
  done
  # Started through the root's loader, Pd takes the loader's folder for its
  # own and looks for its extra/ (output~ and the like) beside it.
  if [ -d "$root/usr/lib/puredata/extra" ]; then
    [ -e "$root/usr/lib/extra" ] || ln -s puredata/extra "$root/usr/lib/extra"
    [ -e "$root/extra" ] || ln -s usr/lib/puredata/extra "$root/extra"
  fi
  echo "$suite $arch $packages" >"$root.ready"
  echo "hosts: $name brought up in $((SECONDS - start)) s ($(du -sh "$root" | cut -f1))"
}

for name in "${wanted[@]}"; do
  case $name in
    bookworm-arm64) bring_up "$name" arm64 bookworm extract puredata-core,puredata-extra ;;
    bookworm-armhf) bring_up "$name" armhf bookworm extract puredata-core,puredata-extra ;;
    bookworm-i386) bring_up "$name" i386 bookworm extract puredata-core,puredata-extra ;;
    trixie-amd64) bring_up "$name" amd64 trixie extract puredata-core,puredata-extra ;;
    forky-amd64) bring_up "$name" amd64 forky extract puredata-core,puredata-extra,puredata64-core ;;
    forky-arm64) bring_up "$name" arm64 forky extract puredata-core,puredata-extra ;;
    forky-armhf) bring_up "$name" armhf forky extract puredata-core,puredata-extra ;;
    # Wine needs a working system (its own server, registry, fonts): a real
    # chroot, kept off the host so the host's packages stay as they are.
    wine-i386) bring_up "$name" i386 bookworm apt wine32 ;;
    *) echo "hosts: unknown root $name (known: ${all[*]})" >&2; exit 2 ;;
  esac
done
