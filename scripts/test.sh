#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

echo "== build (release with debug info)"
scripts/build.sh build -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=ON
echo "== tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 900)

# The Windows build: cross-built, its tests and the installed programs run under Wine
# and compared with the Linux build above.
if [ -x scripts/test-windows.sh ]; then
  echo "== Windows build, under Wine"
  BV_JOBS="$jobs" scripts/test-windows.sh build
fi

if [ -x scripts/test-sanitizers.sh ]; then
  scripts/test-sanitizers.sh
fi
if [ -x scripts/test-threads.sh ]; then
  scripts/test-threads.sh
fi
if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh --ci
fi
echo "== all tests passed"
