#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program: the window where a display
# exists; otherwise brimvault-convert on the sample mailbox shipped in samples/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=OFF
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/shell/BrimvaultConverter ]; then
  exec build/shell/BrimvaultConverter
fi
out=${1:-$PWD/sample-output}
echo "No display: converting samples/sample.mbox with brimvault-convert into $out"
build/cli/brimvault-convert --to eml -o "$out" samples/sample.mbox
echo "Message files:"
find "$out" -type f | sort
