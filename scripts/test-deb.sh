#!/usr/bin/env bash
# Installs the Debian package made by scripts/package.sh with apt, uses it and removes it:
#   scripts/test-deb.sh [dist/brimvault-converter_<version>_amd64.deb] [PICTURE.png]
# converts the sample mailbox with the installed brimvault-convert, checks its manual
# page, starts the installed window under Xvfb and keeps its picture (default
# build-deb/window.png), then `apt remove` and checks that none of the package's files
# is left. Needs root (or sudo); the package must not be installed before.
set -euo pipefail
cd "$(dirname "$0")/.."
pkg=$(realpath "${1:-$(ls dist/brimvault-converter_*_amd64.deb | tail -1)}")
png=$(realpath -m "${2:-build-deb/window.png}")
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
failed=0
fail() { echo "FAIL: $*"; failed=1; }

! dpkg-query -W brimvault-converter >/dev/null 2>&1 || { echo "test-deb: brimvault-converter is installed already" >&2; exit 1; }
echo "== apt install $pkg"
$SUDO apt-get install -y -qq "$pkg" >/dev/null
files=$(dpkg-query -L brimvault-converter)

echo "== brimvault-convert"
brimvault-convert -V
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
brimvault-convert --to eml -o "$out/eml" samples/sample.mbox
n=$(find "$out/eml" -name '*.eml' | wc -l)
[ "$n" -gt 0 ] || fail "no .eml written"
brimvault-convert --to pst -o "$out/pst" samples/sample.mbox >/dev/null
[ -n "$(find "$out/pst" -name '*.pst')" ] || fail "no .pst written"
man -P cat brimvault-convert 2>/dev/null | head -4 | grep -q 'brimvault-convert - ' || fail "man brimvault-convert"

echo "== the window under Xvfb"
rm -f "$png"
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" BrimvaultConverter --screenshot "$png" >/dev/null 2>&1 || true
[ -s "$png" ] && echo "window picture: $png" || fail "the window drew no picture"

echo "== apt remove"
$SUDO apt-get remove -y -qq brimvault-converter >/dev/null
left=$(while read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done <<<"$files" || true)
[ -z "$left" ] || fail "left after apt remove: $left"
dpkg-query -W -f='${Status}\n' brimvault-converter 2>/dev/null | grep -q 'config-files' && fail "config files left"
[ $failed = 0 ] && echo "test-deb: installed, used and removed cleanly" || exit 1
