#!/usr/bin/env bash
# Makes sure the Debian packages the build, the demo and the tests need are
# here: installs the missing ones when run as root, otherwise says how to.
# Usage: scripts/setup.sh [package ...]   (extra packages on top of the base set)
set -euo pipefail

base=(cmake g++ make pkg-config puredata-core puredata-extra puredata-dev libgtest-dev libbenchmark-dev)
wanted=("${base[@]}" "$@")
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "setup: missing Debian packages; install them with:" >&2
  echo "  sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
