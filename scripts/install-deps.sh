#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with, and the
# JavaScript readers of the interop tests (tests/readers, versions pinned by its
# package-lock.json). Safe to run again; does nothing when everything is already there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgmime-3.0-dev libglib2.0-dev libytnef0-dev zlib1g-dev libjemalloc-dev
  # the window's translations: lrelease (Qt6LinguistTools), Qt's own texts (Yes, No, Details)
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  libgtest-dev googletest libgsf-1-dev
  # contacts and calendars: iCalendar files
  libical-dev
  # archive inputs (.zip, .tar, .tgz, .tar.bz2, .tar.xz, .mbox.gz)
  libarchive-dev
  # sanitizer and fuzz builds
  clang libclang-rt-14-dev
  # independent readers for the interop tests
  pst-utils pff-tools python3-pypff libemail-outlook-message-perl python3-olefile libolecf-utils
  # msgconvert loads Email::Address, which its package does not depend on
  libemail-address-perl
  # node for the JavaScript readers pinned in tests/readers
  nodejs
  # window tests and screenshots
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-dejavu-extra
  # screenshots of the window in Japanese, Chinese and Korean
  fonts-noto-cjk
  # a window manager for the screenshots of boxes (their title bars)
  openbox
  # benchmarks
  python3 time
)

# npm: Debian's package, unless the installed node brings its own.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
else
  echo "install-deps: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# JavaScript readers (pst-extractor, @kenjiuno/msgreader), exactly as locked.
readers="$root/tests/readers"
if [ -f "$readers/node_modules/.package-lock.json" ] && [ "$readers/node_modules/.package-lock.json" -nt "$readers/package-lock.json" ]; then
  echo "install-deps: JavaScript readers present"
else
  echo "install-deps: installing the JavaScript readers (npm ci in tests/readers)"
  (cd "$readers" && npm ci --no-audit --no-fund)
fi
