#!/usr/bin/env bash
# GLib for the Windows build twice, from the same upstream tarball and with the options
# of the sysroot's: without our patches (packaging/windows/patches/glib-*.patch) and with
# them, each laid out beside a copy of build-windows/'s brimvault-convert.exe, so that
# bench/windows.sh times what the patches alone change:
#   bench/windows_glib.sh [DIR]                      (default bench/data/glib)
#   bench/windows.sh --before DIR/unpatched/brimvault-convert.exe [...]
# DIR/patched/ holds the same build with the patches, to compare with the sysroot's GLib
# on the path. Windows loads the DLLs of a program's own folder before those on WINEPATH. The
# cache is only read: the tarball and the build script's cross file from it, the sysroot's
# libraries linked against. meson gets no Wine to run its checks with (both builds alike).
# The builds are kept; a second run lays out the program again (after a new build-windows/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
out=$(realpath -m "${1:-bench/data/glib}")
if [ -f build-windows/windows-env.txt ]; then
  while IFS='=' read -r k v; do [ "$k" = BV_WIN_SYSROOT ] && sysroot=$v; done < build-windows/windows-env.txt
fi
sysroot=${sysroot:-${BV_WIN_CACHE:-$HOME/.cache/brimvault-windows}/sysroot-1}
for lib in zlib libffi pcre2 iconv intl; do
  [ -f "$sysroot/.built-$lib" ] || { echo "windows_glib: $sysroot has no $lib yet (scripts/build-windows.sh builds it)" >&2; exit 1; }
done
# The tarball and its hash as scripts/build-windows.sh pins them.
read -r file sha <<<"$(sed -n 's/^ *"glib  *[^ ]*  *[^ ]*  *\([^ ]*\)  *\([0-9a-f]*\)".*/\1 \2/p' scripts/build-windows.sh)"
tarball="$(dirname "$sysroot")/src/$file"
echo "$sha  $tarball" | sha256sum -c --quiet || { echo "windows_glib: no $tarball with the pinned hash" >&2; exit 1; }

say() { echo "== windows_glib: $*"; }
src="$out/src" prefix="$out/prefix"
mkdir -p "$out"
if [ ! -f "$out/.built-unpatched" ]; then
  say "GLib from $file without our patches"
  rm -rf "$src" "$prefix"; mkdir -p "$src"
  tar -xf "$tarball" -C "$src" --strip-components=1
  # The build script's cross file, without Wine to run meson's checks.
  cross="$(dirname "$sysroot")/work/meson-cross.txt"
  [ -f "$cross" ] || { echo "windows_glib: no $cross (scripts/build-windows.sh writes it)" >&2; exit 1; }
  grep -v '^exe_wrapper' "$cross" >"$out/meson-cross.txt"
  (cd "$src" && PKG_CONFIG_LIBDIR="$sysroot/lib/pkgconfig" PKG_CONFIG_PATH="" \
    meson setup _build --cross-file "$out/meson-cross.txt" --prefix="$prefix" --buildtype=release \
    --default-library=shared --wrap-mode=nofallback -Dtests=false -Dinstalled_tests=false -Dnls=disabled \
    -Dman=false -Dgtk_doc=false -Dselinux=disabled -Dxattr=false -Dlibmount=disabled -Dlibelf=disabled \
    -Dsysprof=disabled -Dglib_debug=disabled >"$out/meson.log" 2>&1) || { tail -40 "$out/meson.log"; exit 1; }
  ninja -C "$src/_build" -j"${BV_JOBS:-2}" >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }
  mkdir -p "$out/dll-unpatched"
  cp "$src"/_build/glib/libglib-2.0-0.dll "$src"/_build/gobject/libgobject-2.0-0.dll \
     "$src"/_build/gio/libgio-2.0-0.dll "$src"/_build/gmodule/libgmodule-2.0-0.dll "$out/dll-unpatched/"
  touch "$out/.built-unpatched"
fi
if [ ! -f "$out/.built-patched" ]; then
  say "the same with our patches"
  for p in packaging/windows/patches/glib-*.patch; do
    (cd "$src" && patch -p1 -s --no-backup-if-mismatch <"$root/$p") || { echo "windows_glib: $p does not apply" >&2; exit 1; }
  done
  ninja -C "$src/_build" -j"${BV_JOBS:-2}" >>"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }
  mkdir -p "$out/dll-patched"
  cp "$src"/_build/glib/libglib-2.0-0.dll "$src"/_build/gobject/libgobject-2.0-0.dll \
     "$src"/_build/gio/libgio-2.0-0.dll "$src"/_build/gmodule/libgmodule-2.0-0.dll "$out/dll-patched/"
  touch "$out/.built-patched"
fi
# Beside the program only the DLLs the patches change: the others come from the sysroot
# on the path, as for the program itself (its checks run under Wine, ours not, which
# changes GLib's choice of printf).
changed=()
for f in "$out"/dll-unpatched/*.dll; do
  cmp -s "$f" "$out/dll-patched/$(basename "$f")" || changed+=("$(basename "$f")")
done
[ ${#changed[@]} -gt 0 ] || { echo "windows_glib: the patches changed no DLL" >&2; exit 1; }
for v in unpatched patched; do
  rm -rf "${out:?}/$v"; mkdir -p "$out/$v"
  for d in "${changed[@]}"; do cp "$out/dll-$v/$d" "$out/$v/"; done
done
say "the patches change ${changed[*]}"
if [ -f build-windows/cli/brimvault-convert.exe ]; then
  for v in unpatched patched; do cp build-windows/cli/brimvault-convert.exe "$out/$v/"; done
  say "ready: $out/unpatched/brimvault-convert.exe, $out/patched/brimvault-convert.exe"
else
  say "GLib ready in $out/{unpatched,patched}; no build-windows/cli/brimvault-convert.exe to lay out beside it yet"
fi
