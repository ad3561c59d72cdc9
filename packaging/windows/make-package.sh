#!/usr/bin/env bash
# Lays out the Windows program folder and makes the NSIS installer from a cross build:
#   packaging/windows/make-package.sh BUILD_DIR
# (BV_WIN_SYSROOT and BV_WIN_QT as scripts/build-windows.sh sets them). The folder,
# BUILD_DIR/package/BrimvaultConverter/, holds the two programs, every DLL they load
# (found by following the import tables through the sysroot, Qt and the MinGW runtime),
# Qt's platform and style plugins, and the licences of everything bundled. The installer
# is BUILD_DIR/BrimvaultConverter-<version>-setup.exe.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
bdir="$(cd "${1:?usage: make-package.sh BUILD_DIR}" && pwd)"
: "${BV_WIN_SYSROOT:?}" "${BV_WIN_QT:?}"
triplet=x86_64-w64-mingw32
gccrt=$(dirname "$($triplet-g++-posix -print-libgcc-file-name)")

version=$(sed -n 's/^#define BV_VERSION_STRING "\([^"]*\)".*/\1/p' "$bdir/generated/version.h")
numeric=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$bdir/CMakeCache.txt")
[ -n "$version" ] && [ -n "$numeric" ] || { echo "make-package: no version in $bdir" >&2; exit 1; }

pkg="$bdir/package/BrimvaultConverter"
rm -rf "$bdir/package"
mkdir -p "$pkg/platforms" "$pkg/styles" "$pkg/licenses"
cp "$bdir/shell/BrimvaultConverter.exe" "$bdir/cli/brimvault-convert.exe" "$pkg/"
cp "$BV_WIN_QT/plugins/platforms/qwindows.dll" "$pkg/platforms/"
cp "$BV_WIN_QT/plugins/styles/qwindowsvistastyle.dll" "$pkg/styles/"

# Every DLL the programs and plugins import, found in these folders; system DLLs are
# not in them and stay out.
search=("$BV_WIN_SYSROOT/bin" "$BV_WIN_QT/bin" "$gccrt" "/usr/$triplet/lib")
declare -A seen=()
queue=("$pkg"/*.exe "$pkg"/platforms/*.dll "$pkg"/styles/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  f=${queue[0]}; queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    for d in "${search[@]}"; do
      if [ -f "$d/$dll" ]; then
        cp "$d/$dll" "$pkg/"
        queue+=("$pkg/$dll")
        break
      fi
    done
  done < <($triplet-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
done
$triplet-strip --strip-unneeded "$pkg"/*.dll "$pkg"/*/*.dll 2>/dev/null || true

# Licences: ours, Qt's, the sysroot's libraries', the MinGW-w64 runtime's and GCC's.
cp "$root/LICENSE" "$pkg/licenses/Brimvault-Converter.txt"
mkdir -p "$pkg/licenses/Qt"
cp "$BV_WIN_QT"/LICENSES/* "$pkg/licenses/Qt/"
for d in "$BV_WIN_SYSROOT"/licenses/*/; do
  n=$(basename "$d")
  for f in "$d"*; do cp "$f" "$pkg/licenses/$n-$(basename "$f").txt"; done
done
cp /usr/share/doc/mingw-w64-common/copyright "$pkg/licenses/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$pkg/licenses/gcc-runtime.txt"
cat > "$pkg/licenses/README.txt" <<TXT
Brimvault Converter $version bundles these libraries as separate DLLs; each may be
replaced by a compatible build. Their licences are in this folder.
  Qt 6 (Qt6Core, Qt6Gui, Qt6Widgets, platform and style plugins): LGPL-3.0 (Qt/)
  GLib, GMime: LGPL-2.1 or later (glib-COPYING.txt, gmime-COPYING.txt)
  libytnef: GPL-2.0 or later (libytnef-COPYING.txt)
  libffi: MIT (libffi-LICENSE.txt); PCRE2: BSD (pcre2-LICENCE.txt); zlib: zlib (zlib-copyright.txt)
  iconv (win_iconv): public domain (iconv-win_iconv-notice.txt)
  MinGW-w64 runtime (libwinpthread): MIT and others (mingw-w64-runtime.txt)
  GCC runtime: GPL-3.0 with the GCC Runtime Library Exception (gcc-runtime.txt)
TXT
for n in libarchive libical; do
  [ -d "$BV_WIN_SYSROOT/licenses/$n" ] && echo "  $n: see $n-*.txt" >> "$pkg/licenses/README.txt"
done

echo "make-package: program folder $pkg ($(du -sh "$pkg" | cut -f1))"

out="$bdir/BrimvaultConverter-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DNUMERIC_VERSION="$numeric" -DSOURCE_DIR="$pkg" \
  -DICON="$root/resources/brimvault-converter.ico" -DOUT_FILE="$out" \
  "$here/installer.nsi"
echo "make-package: installer $out ($(du -h "$out" | cut -f1))"
