#!/usr/bin/env bash
# Takes a picture of the main window under a virtual X server:
#   scripts/screenshot.sh OUT.png
# Builds BrimvaultConverter into build-gui when needed (BUILD_DIR overrides), starts it
# under xvfb-run on a 1024x768 screen and lets it grab itself once shown.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 OUT.png" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$1")
build=${BUILD_DIR:-$root/build-gui}
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=()
  command -v ninja >/dev/null && gen=(-G Ninja)
  cmake -S "$root" -B "$build" "${gen[@]}" -DBV_BUILD_GUI=ON >/dev/null
fi
cmake --build "$build" --target BrimvaultConverter -j 2 >/dev/null
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/shell/BrimvaultConverter" --screenshot "$out"
echo "$out"
