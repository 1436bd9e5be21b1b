#!/usr/bin/env bash
# Opens the help patch and each of its subpatches in the real Pd GUI on a
# virtual screen (Xvfb) and writes one PNG per window, to be looked at after
# every change to help/make_help.py. Fails if Pd logs an error or cannot
# create a box.
# Usage: scripts/help_screenshots.sh [OUTPUT_DIR=build/help-screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh puredata-gui puredata-extra xvfb xdotool imagemagick
out=$(mkdir -p "${1:-build/help-screenshots}" && cd "${1:-build/help-screenshots}" && pwd)
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target rondel_tilde >/dev/null
help=build/rondel~/rondel~-help.pd

tmp=$(mktemp -d /tmp/rondel-screenshots-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# A display number nobody uses: Xvfb picks it and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "help_screenshots: Xvfb did not start:"; cat "$tmp/xvfb.log"; exit 1; }
export DISPLAY=:$(cat "$tmp/display")

# Every subpatch of the help's main canvas opens at start-up by its name.
subpatches=$(awk '/^#N canvas/ { depth++ } /^#X restore/ { depth--; if (depth == 1) print $6 }' "$help" | tr -d ';')
sends=()
for s in $subpatches; do sends+=(-send "pd-$s vis 1"); done
pd -noprefs -nosound -stderr -path build/rondel~ -open "$help" "${sends[@]}" >"$tmp/pd.log" 2>&1 &
pids+=($!)

# window_of NAME: the id of the window whose title is "NAME - folder"
window_of() {
  local id
  for id in $(xdotool search --name . 2>/dev/null); do
    case "$(xdotool getwindowname "$id" 2>/dev/null)" in "$1 "*) echo "$id"; return 0 ;; esac
  done
  return 1
}

rm -f "$out"/*.png
for name in rondel~-help.pd $subpatches; do
  id=
  for _ in $(seq 100); do id=$(window_of "$name") && break; sleep 0.1; done
  [ -n "$id" ] || { echo "help_screenshots: no window for $name:"; cat "$tmp/pd.log"; exit 1; }
  sleep 1  # let the GUI draw every box
  xdotool windowraise "$id"
  sleep 0.3
  file="$out/${name%.pd}.png"
  import -window "$id" "$file"
  echo "$file ($(identify -format '%wx%h' "$file"))"
done

if grep -i -E "couldn't create|error|connection failed|no such object|bad arguments" "$tmp/pd.log"; then
  echo "help_screenshots: Pd reported the above"
  exit 1
fi
