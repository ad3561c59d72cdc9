#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Safe to run again; does nothing when everything is already there.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgmime-3.0-dev libglib2.0-dev libytnef0-dev zlib1g-dev libjemalloc-dev
  libgtest-dev googletest libgsf-1-dev
  # sanitizer and fuzz builds
  clang libclang-rt-14-dev
  # independent readers for the interop tests
  pst-utils pff-tools python3-pypff libemail-outlook-message-perl python3-olefile libolecf-utils
  # window tests and screenshots
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-dejavu-extra
  # benchmarks
  python3 time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
