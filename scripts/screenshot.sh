#!/usr/bin/env bash
# Takes a picture of the main window under a virtual X server:
#   scripts/screenshot.sh OUT.png
#   scripts/screenshot.sh --scene idle|midrun|store-error|labels-done|done|rerun|disk-full|listed|help OUT.png
# Without --scene: builds BrimvaultConverter into build-gui when needed (BUILD_DIR
# overrides), starts it under xvfb-run on a 1024x768 screen and lets it grab itself once
# shown. With --scene: builds window_scenes (the window tests' scene player) and
# pictures the whole screen with a window manager running, so boxes show their title
# bars: the window mid-run, the store error box, the completion box after a run into
# 150 label folders (and OUT-details.png, its details open), the completion box of a
# run, of a second run into the same store and of a run on a full disk (a 2 MB tmpfs:
# needs root), the window after a run, the manual. SCREEN overrides the screen size
# (default 1024x768; 1440x900 shows the box on a common laptop screen);
# SCALE=2 draws at 200 % (with SCREEN=1600x1000: a logical screen of 800x500).
set -euo pipefail
usage() {
  echo "usage: $0 [--scene idle|midrun|store-error|labels-done|done|rerun|disk-full|listed|help] OUT.png" >&2
  exit 2
}
scene=""
if [ "${1:-}" = "--scene" ]; then
  [ $# -eq 3 ] || usage
  scene=$2
  shift 2
fi
[ $# -eq 1 ] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$1")
build=${BUILD_DIR:-$root/build-gui}
screen=${SCREEN:-1024x768}
[ -n "${SCALE:-}" ] && export QT_SCALE_FACTOR=$SCALE
if [ ! -f "$build/CMakeCache.txt" ]; then
  gen=()
  command -v ninja >/dev/null && gen=(-G Ninja)
  cmake -S "$root" -B "$build" "${gen[@]}" -DBV_BUILD_GUI=ON >/dev/null
fi
mkdir -p "$(dirname "$out")"

if [ -z "$scene" ]; then
  cmake --build "$build" --target BrimvaultConverter -j 2 >/dev/null
  xvfb-run -a -s "-screen 0 ${screen}x24" "$build/shell/BrimvaultConverter" --screenshot "$out"
  echo "$out"
  exit 0
fi

cmake -S "$root" -B "$build" -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target window_scenes -j 2 >/dev/null
if [ "$scene" = disk-full ]; then
  SCENE_DEST=$(mktemp -d)
  export SCENE_DEST
  mount -t tmpfs -o size=2m tmpfs "$SCENE_DEST"
  trap 'umount "$SCENE_DEST"; rmdir "$SCENE_DEST"' EXIT
fi
# The scene runs beside a window manager in one X session.
xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
  wm=""
  if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & wm=$!; sleep 1; fi
  status=0
  "$1" "$2" "$3" || status=$?
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  exit $status
' scenes "$build/tests/window/window_scenes" "$scene" "$out"
echo "$out"
[ "$scene" = labels-done ] && echo "${out%.png}-details.png"
exit 0
