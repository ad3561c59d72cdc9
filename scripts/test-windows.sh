#!/usr/bin/env bash
# The Windows stage of the tests: builds for Windows (scripts/build-windows.sh: sysroot
# cached, installer made), then under Wine
#  - runs every engine test program of build-windows/ ($BV_WIN_BUILD) and the window's
#    Qt tests (offscreen platform),
#  - installs the installer silently and converts mailboxes in a folder with non-Latin
#    letters in its name into every kind with the installed brimvault-convert.exe,
#    comparing with the Linux build (.eml, .emlx, .msg byte for byte; .pst through
#    every independent reader),
#  - starts the installed window under Xvfb and checks its picture,
#  - uninstalls silently and checks that nothing is left.
# Usage: scripts/test-windows.sh [LINUX_BUILD_DIR]   (default build/, with brimvault-convert built)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
linux="$(cd "${1:-build}" && pwd)"
t0=$(date +%s)

wbuild="${BV_WIN_BUILD:-$root/build-windows}"
scripts/build-windows.sh
while IFS='=' read -r k v; do export "$k=$v"; done < "$wbuild/windows-env.txt"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="$(cat "$wbuild/winepath.txt")"
work="$(mktemp -d /tmp/bv-wine.XXXXXX)"
trap 'rm -rf "$work"' EXIT
# The distribution's Python, with pypff.
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
failed=0
note_fail() { echo "FAIL: $*"; failed=$((failed + 1)); }

echo "== Windows: engine tests under Wine"
passed_tests=0 failed_tests=0
while read -r exe; do
  grep -q -- 'gtest_list_tests' "$exe" || continue
  name=$(basename "$exe" .exe)
  log="$work/$name.log"
  mkdir -p "$work/run-$name"
  # The calendar tests take floating times in Europe/Berlin; Wine takes its zone from TZ.
  if (cd "$work/run-$name" && TZ=Europe/Berlin timeout 900 wine "$exe" --gtest_brief=1 >"$log" 2>&1); then rc=0; else rc=$?; fi
  # (A brief run names each failed test on a line of its own, with its time.)
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  f=$(grep -cE '^\[  FAILED  \] [A-Za-z_0-9/]+\.[A-Za-z_0-9/]+ \(' "$log" || true)
  passed_tests=$((passed_tests + ${p:-0})); failed_tests=$((failed_tests + ${f:-0}))
  if [ $rc -ne 0 ] || [ -z "$p" ]; then
    note_fail "$name (exit $rc)"; grep -A6 -E '^\[  FAILED  \]|Failure|error' "$log" | cut -c1-400 | head -40 || tail -20 "$log"
  else
    echo "$name: ${p} passed"
  fi
done < <(find "$wbuild/tests" -name '*.exe' | sort)
echo "engine tests under Wine: $passed_tests passed, $failed_tests failed"

echo "== Windows: the window's tests under Wine (offscreen platform)"
# Qt's offscreen platform on Windows reads the fonts of one folder: Wine's own, with its
# Tahoma, the face the window is laid out for. (Wine passes no QT_* variable on to
# Windows programs; WINEQT_X reaches them as QT_X. The results go to a file: Qt Test
# writes nothing to Wine's console.)
wt="$wbuild/tests/window/window_tests.exe"
fonts=/usr/share/wine/fonts
[ -f "$fonts/tahoma.ttf" ] || note_fail "no $fonts/tahoma.ttf: the package fonts-wine is missing (scripts/build-windows.sh installs it)"
if (cd "$work" && WINEQT_QPA_FONTDIR="Z:$fonts" timeout 900 wine "$wt" -platform offscreen \
      -o "$(winepath -w "$work/window-tests.txt"),txt" >/dev/null 2>&1); then rc=0; else rc=$?; fi
totals=$(grep '^Totals:' "$work/window-tests.txt" 2>/dev/null || true)
if [ $rc -ne 0 ] || [ -z "$totals" ]; then
  note_fail "window_tests (exit $rc)"; grep -A3 '^FAIL!' "$work/window-tests.txt" 2>/dev/null | head -40 || true
fi
echo "window_tests: ${totals:-no result}"

echo "== Windows: the installer, silently"
setup=$(ls "$wbuild"/BrimvaultConverter-*-setup.exe)
instdir_win='C:\Program Files\Brimvault Converter'
instdir="$WINEPREFIX/drive_c/Program Files/Brimvault Converter"
wine "$setup" /S; wineserver -w
[ -f "$instdir/brimvault-convert.exe" ] && [ -f "$instdir/BrimvaultConverter.exe" ] || note_fail "the installer installed no programs"
lnk=$(find "$WINEPREFIX/drive_c" -name 'Brimvault Converter.lnk' 2>/dev/null | head -1)
[ -n "$lnk" ] && echo "Start menu: ${lnk#$WINEPREFIX/}" || note_fail "no Start-menu entry"
# The installed folder alone, no build paths: the programs must find every DLL there.
unset WINEPATH

echo "== Windows: the installed brimvault-convert.exe against the Linux build"
src="$work/Почта 郵便 Ελληνικά"
mkdir -p "$src"
for f in tests/data/corpus/mbox/gmime/input/* tests/data/corpus/mbox/mimekit/*.mbox.txt tests/data/labels.mbox; do
  [ -f "$f" ] && cp "$f" "$src/$(basename "$f" .txt)"
done
src_win=$(winepath -w "$src")
for kind in eml emlx msg pst; do
  "$linux/cli/brimvault-convert" --to $kind -o "$work/linux/$kind" "$src" >"$work/linux-$kind.log" 2>&1 || true
  tw0=$(date +%s%N)
  wine "$instdir/brimvault-convert.exe" --to $kind -o "$(winepath -w "$work")\\windows\\$kind" "$src_win" \
    >"$work/windows-$kind.log" 2>&1 || true
  echo "$kind: Windows run $(( ($(date +%s%N) - tw0) / 1000000 )) ms"
  if ! diff <(sed 's/[0-9.]* s\b//g' "$work/linux-$kind.log" | tr -d '\r' | grep -v '/\|\\') \
            <(sed 's/[0-9.]* s\b//g' "$work/windows-$kind.log" | tr -d '\r' | grep -v '/\|\\') >/dev/null; then
    echo "(the summaries differ in more than paths and times:)"; diff "$work/linux-$kind.log" "$work/windows-$kind.log" | head -10 || true
  fi
  "$py" tests/windows/compare_outputs.py $kind "$work/linux/$kind" "$work/windows/$kind" "$work/cmp-$kind" \
    --js-readers tests/readers/node_modules || note_fail "$kind outputs differ"
done

echo "== Windows: the installed window under Xvfb"
png="$wbuild/window-wine.png"
rm -f "$png"
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "$instdir/BrimvaultConverter.exe" --screenshot "$(winepath -w "$png")" >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true
if "$py" - "$png" <<'PY'
import sys, zlib, struct
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
w, h = struct.unpack('>II', data[16:24])
assert w >= 400 and h >= 300, (w, h)
idat = b''.join(data[i + 8:i + 8 + struct.unpack('>I', data[i:i + 4])[0]]
                for i in range(8, len(data)) if data[i + 4:i + 8] == b'IDAT')
raw = zlib.decompress(idat)
assert len(set(raw)) > 16, 'the picture is nearly blank'
print('window picture %dx%d' % (w, h))
PY
then :; else note_fail "the window drew no picture"; fi

echo "== Windows: uninstalling, silently"
wine "$instdir/Uninstall.exe" /S; wineserver -w; sleep 1; wineserver -w
[ ! -e "$instdir/brimvault-convert.exe" ] || note_fail "the uninstaller left the programs"
[ -z "$(find "$WINEPREFIX/drive_c" -name 'Brimvault Converter.lnk' 2>/dev/null)" ] || note_fail "the uninstaller left the Start-menu entry"

echo "== Windows stage: $(( $(date +%s) - t0 )) s"
if [ $failed -ne 0 ]; then
  echo "Windows stage: $failed failed"
  exit 1
fi
echo "Windows stage passed"
