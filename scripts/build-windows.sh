#!/usr/bin/env bash
# Cross-builds Brimvault Converter for 64-bit Windows on Debian:
#   scripts/build-windows.sh [--no-package]
# 1. installs MinGW-w64, Wine, NSIS and the build tools from Debian;
# 2. builds the dependency sysroot (shared DLLs) from Debian's source packages, at the
#    pinned versions and hashes below, once: it is kept in $BV_WIN_CACHE (default
#    ~/.cache/brimvault-windows) and reused by every later run and checkout (a library
#    added later is built into it on the next run);
# 3. takes Qt for Windows from shared/toolchains/qt6-win64 beside the checkout (or
#    $BV_WIN_QT), otherwise builds it from Debian's qt6-base source into the cache;
# 4. cross-builds the CLI, the window and the tests into build-windows/ (or $BV_WIN_BUILD);
# 5. lays out the program folder (build-windows/package/) and makes the NSIS installer,
#    whose path it prints last.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

package=1
for a in "$@"; do
  case "$a" in
    --no-package) package=0 ;;
    *) echo "usage: scripts/build-windows.sh [--no-package]" >&2; exit 2 ;;
  esac
done

jobs=${BV_JOBS:-2}
triplet=x86_64-w64-mingw32
cache="${BV_WIN_CACHE:-$HOME/.cache/brimvault-windows}"
# The sysroot's recipe: bump when a version or a build step below changes.
recipe=1
sysroot="$cache/sysroot-$recipe"
srcdir="$cache/src"
work="$cache/work"
mkdir -p "$srcdir" "$work" "$sysroot"/{bin,include,lib/pkgconfig,licenses}

t0=$(date +%s)
say() { echo "== build-windows [$(( $(date +%s) - t0 )) s]: $*"; }

# ---------------------------------------------------------------------------------
# 1. Packages
packages=(mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
          wine wine64 fonts-wine meson ninja-build cmake pkg-config nsis xvfb xauth dpkg-dev fonts-dejavu-core curl patch
          autoconf automake libtool gtk-doc-tools perl python3
          qt6-base-dev qt6-base-dev-tools googletest)
# fonts-wine (only recommended by Wine): Wine's own Tahoma and the other faces of its
# prefixes, which the window is laid out for; without them Wine falls back on wider faces.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# The NSIS installer and uninstaller are 32-bit programs: Wine runs them with wine32.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# `apt-get source` needs deb-src entries: the same mirrors as the binary ones.
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
  say "adding deb-src entries"
  srcs=/etc/apt/sources.list.d/brimvault-deb-src.sources
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$srcs" ] || continue
    sed -n '/^Types:/{s/.*/Types: deb-src/;p;b};p' "$f"; echo
  done | $SUDO tee "$srcs" >/dev/null
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $SUDO tee /etc/apt/sources.list.d/brimvault-deb-src.list >/dev/null || true
  fi
  $SUDO apt-get update -qq
fi

# Wine keeps its prefix in the cache; no window manager or dialogs.
export WINEPREFIX="${WINEPREFIX:-$cache/wineprefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix made before wine32 was there cannot run 32-bit programs: made anew.
if [ -f "$WINEPREFIX/system.reg" ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "creating the Wine prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

# ---------------------------------------------------------------------------------
# 2. Sources: Debian's source packages.
# Every library's upstream tarball is pinned by its hash, and any Debian revision that
# still carries it will do: the revisions listed are where to look first, then the Debian
# pool itself (deb.debian.org/debian/pool/...), then every revision apt offers. (Debian's
# security updates replace revisions, and a replaced revision's Debian tarball leaves the
# pool while its upstream tarball stays as long as a newer revision uses it.)
#        name        source package  revisions to look in        upstream tarball                   sha256
upstream=(
  "libffi      libffi          3.4.4-1                         libffi_3.4.4.orig.tar.gz              d66c56ad259a82cf2a9dfc408b32bf5da52371500b84745f7fb8b645712df676"
  "pcre2       pcre2           10.42-1,10.42-1+deb12u2         pcre2_10.42.orig.tar.gz               c33b418e3b936ee3153de2c61cc638e7e4fe3156022a5c77d0711bcbb9d64f1f"
  "glib        glib2.0         2.74.6-2+deb12u9,2.74.6-2+deb12u6 glib2.0_2.74.6.orig.tar.xz          069cf7e51cd261eb163aaf06c8d1754c6835f31252180aff5814e5afc7757fbc"
  "gmime       gmime           3.2.13+dfsg-2                   gmime_3.2.13+dfsg.orig.tar.xz         4b868eb152b83ccbc593340560c1fd1cc497e43e14104c85869de6f2101675e0"
  "libytnef    libytnef        2.0-1                           libytnef_2.0.orig.tar.gz              bb12f34572de89e4825fce98d2d235d93cd34b2c41fed0074ebfa89af9e724a9"
  "libarchive  libarchive      3.6.2-1+deb12u5                 libarchive_3.6.2.orig.tar.xz          9e2c1b80d5fbe59b61308fdfab6c79b5021d7ff4ff2489fb12daf0a96a83551d"
  "libical     libical3        3.0.16-1                        libical3_3.0.16.orig.tar.gz           b44705dd71ca4538c86fb16248483ab4b48978524fb1da5097bd76aa2e0f0c33"
  "qtbase      qt6-base        6.4.2+dfsg-10                   qt6-base_6.4.2+dfsg.orig.tar.xz       4f14b89a9463a540fd84a6718b8519a2297119b454ef547721015a9e9019ae9e"
  "bzip2       bzip2           1.0.8-5                         bzip2_1.0.8.orig.tar.gz               ab5a03176ee106d3f0fa90e381da478ddae405918153cca248e682cd0c4a2269"
  "xz          xz-utils        5.4.1-1+deb12u2                 xz-utils_5.4.1.orig.tar.xz            5d9827aa1875b21c288f78864bb26d2650b436ea8d2cad364e4921eb6266a5a5"
  "libxml2     libxml2         2.9.14+dfsg-1.3~deb12u6         libxml2_2.9.14+dfsg.orig.tar.xz       4fe913dec8b1ab89d13b489b419a8203176ea39e931eaa0d25b17eafb9c279e9"
  "libgsf      libgsf          1.14.53-1                       libgsf_1.14.53.orig.tar.xz            0eb59a86e0c50f97ac9cfe4d8cc1969f623f2ae8c5296f2414571ff0a9e8bcba"
)
# Built with Debian's patches (security fixes among them): what reads untrusted input and
# carries fixes in Debian (GMime, libarchive, liblzma, bzip2, libxml2) and the libraries
# added with them. One line per Debian revision, with the hash of its Debian tarball; the
# newest revision listed whose Debian tarball can still be fetched is built. When Debian
# replaces a revision, add a line for the new one. Built from the upstream tarball alone:
# libffi, pcre2, libytnef (Debian changes only their build paths), libical (its Debian
# tarball is not in the pool) and GLib, whose Debian patches fix GDBus and its tests
# (nothing our programs use on Windows), not worth its six-minute rebuild; GLib gets our
# own patch instead (packaging/windows/patches, applied in its step below). (libgsf's
# bookworm revision is gone from the pool: it is built at the newer release's.)
#        name        Debian revision                sha256 of its Debian tarball
patched=(
  "gmime       3.2.13+dfsg-2                  1c4d66082f3a7efb6f90dd66571514964bd97e55b7106e3ee4eb15d75fb57f07"
  "libarchive  3.6.2-1+deb12u5                5b32794076e9b0d8cd74fd2c453340b72c6362188f40fa1aac96304cb5683315"
  "libarchive  3.6.2-1+deb12u4                8144870ef70a09d57a5aea9bc6a00ae0493e829b542d78f5312969b10f1ea322"
  "bzip2       1.0.8-5                        d68c6eba11d70e14319e24ef1451880a03023b2b75364646adb117086db36039"
  "xz          5.4.1-1+deb12u2                7e0b1d1448520ea4f88ec05136a88f07564cc4a1abd6dfcf53c1f822a3e4f64f"
  "libxml2     2.9.14+dfsg-1.3~deb12u6        f33a99a0018cbb94aadc3bf26661e401cb90dff856aa170faf7239151ee9b9ac"
  "libgsf      1.14.53-1                      788c67375bb8ba1abf48b7c98358506a1c56e053c3affaa8f30abda16afa25ed"
)
pool="${BV_DEBIAN_POOL:-http://deb.debian.org/debian/pool/main}"

hash_ok() { [ -f "$2" ] && echo "$1  $2" | sha256sum -c --quiet >/dev/null 2>&1; }
# The pinned revisions of a patched library, newest first.
patched_revisions() {
  local r out=()
  for r in $(printf '%s\n' "${patched[@]}" | awk -v n="$1" '$1 == n {print $2}'); do
    local i=${#out[@]}
    while [ "$i" -gt 0 ] && dpkg --compare-versions "$r" gt "${out[i-1]}"; do out[i]=${out[i-1]}; i=$((i - 1)); done
    out[i]=$r
  done
  echo "${out[@]}"
}

tried=()  # what the fetching of one library tried, for the message when all of it failed
# apt_source SRC [REV]: whatever of the source package's files apt can fetch into $srcdir
# (a missing Debian tarball does not lose the upstream one that came before it).
apt_source() {
  local out
  out=$(cd "$srcdir" && apt-get source --download-only -qq "$1${2:+=$2}" 2>&1 >/dev/null) && return 0
  tried+=("apt-get source --download-only $1${2:+=$2}: $(grep -m1 -E '^E:' <<<"$out" | cut -c1-160)")
  return 1
}
# pool_file SRC FILE: one file of SRC straight from the Debian pool.
pool_file() {
  local dir="$pool/${1:0:1}/$1" err
  [[ $1 == lib* ]] && dir="$pool/${1:0:4}/$1"
  if err=$(curl -fsS -o "$srcdir/$2.part" "$dir/$2" 2>&1); then
    mv "$srcdir/$2.part" "$srcdir/$2"
  else
    rm -f "$srcdir/$2.part"; tried+=("$dir/$2: ${err#curl: }"); return 1
  fi
}
# file_of_dsc DSC PATTERN: the name of the file of the .dsc that matches PATTERN.
file_of_dsc() {
  awk '/^Checksums-Sha256:/{on=1;next} /^[^ ]/{on=0} on{print $3}' "$1" 2>/dev/null | grep -m1 -E "$2" || true
}
cannot_fetch() {
  echo "build-windows: cannot fetch the sources of $1 (Debian source package $2): $3. Tried:" >&2
  printf '  %s\n' "${tried[@]}" >&2
  echo "$4" >&2
  exit 1
}

# get_upstream NAME: the pinned upstream tarball of NAME into $srcdir.
get_upstream() {
  local name=$1 src revs file sha r
  read -r _ src revs file sha <<<"$(printf '%s\n' "${upstream[@]}" | awk -v n="$name" '$1 == n')"
  hash_ok "$sha" "$srcdir/$file" && return 0
  say "fetching $file"
  # (what arrives without the pinned hash is noted and the next source tried)
  local mismatch=": $file arrived, with another hash than the pinned one"
  for r in ${revs//,/ }; do
    if apt_source "$src" "$r"; then hash_ok "$sha" "$srcdir/$file" && return 0; tried+=("apt-get source $src=$r$mismatch"); fi
    hash_ok "$sha" "$srcdir/$file" && return 0
  done
  if pool_file "$src" "$file"; then hash_ok "$sha" "$srcdir/$file" && return 0; tried+=("the pool$mismatch"); fi
  for r in $(apt-cache showsrc "$src" 2>/dev/null | sed -n 's/^Version: //p' | sort -u); do
    [[ ",$revs," == *",$r,"* ]] && continue
    if apt_source "$src" "$r"; then hash_ok "$sha" "$srcdir/$file" && return 0; tried+=("apt-get source $src=$r$mismatch"); fi
    hash_ok "$sha" "$srcdir/$file" && return 0
  done
  cannot_fetch "$name" "$src" "no revision carries $file with the pinned hash" \
    "To build a newer upstream version, pin it on $name's line of upstream=( ) in $0: a revision of
apt-cache showsrc $src (its Version:), its .orig tarball and that tarball's sha256 (Checksums-Sha256:)."
}

# unpack NAME: the sources of NAME, fetched if need be, unpacked into $work/NAME (fresh);
# cds there.
unpack() {
  local name=$1 src file sha
  read -r _ src _ file sha <<<"$(printf '%s\n' "${upstream[@]}" | awk -v n="$name" '$1 == n')"
  tried=()
  get_upstream "$name"
  rm -rf "${work:?}/$name"
  local revs; revs=$(patched_revisions "$name")
  if [ -n "$revs" ]; then
    local rev debsha dsc deb got=""
    for rev in $revs; do
      debsha=$(printf '%s\n' "${patched[@]}" | awk -v n="$name" -v r="$rev" '$1 == n && $2 == r {print $3}')
      dsc="$srcdir/${src}_${rev#*:}.dsc"
      deb=$(file_of_dsc "$dsc" '\.(debian\.tar\.[a-z0-9]+|diff\.gz)$')
      if [ -z "$deb" ] || ! hash_ok "$debsha" "$srcdir/$deb"; then
        say "fetching $src $rev"
        apt_source "$src" "$rev" || true  # (what it fetched counts; the pool may have the rest)
        [ -f "$dsc" ] || pool_file "$src" "$(basename "$dsc")" || continue
        deb=$(file_of_dsc "$dsc" '\.(debian\.tar\.[a-z0-9]+|diff\.gz)$')
        [ -n "$deb" ] || { tried+=("$(basename "$dsc") names no Debian tarball"); continue; }
        hash_ok "$debsha" "$srcdir/$deb" || pool_file "$src" "$deb" || continue
      fi
      if hash_ok "$debsha" "$srcdir/$deb"; then got=$rev; break; fi
      tried+=("$deb arrived, with another hash than the pinned $debsha")
    done
    [ -n "$got" ] || cannot_fetch "$name" "$src" "none of its pinned revisions ($revs) has its Debian tarball" \
      "To build a newer revision, add its line to patched=( ) in $0: the name $name, a revision of
apt-cache showsrc $src (its Version:) and the sha256 of its .debian.tar.* (Checksums-Sha256:).
A revision with another upstream tarball needs that on $name's line of upstream=( ) too."
    dpkg-source --no-check -q -x "$dsc" "$work/$name" >/dev/null ||
      { echo "build-windows: dpkg-source could not unpack $src $got" >&2; exit 1; }
    mkdir -p "$sysroot/licenses/$name"; echo "Debian source package $src $got (with Debian's patches)" > "$sysroot/licenses/$name/SOURCE"
  else
    mkdir -p "$work/$name"
    tar -xf "$srcdir/$file" -C "$work/$name" --strip-components=1
  fi
  cd "$work/$name"
}

# ---------------------------------------------------------------------------------
# 3. The dependency sysroot: DLLs in bin/, import libraries in lib/, headers, .pc files.
export PKG_CONFIG_LIBDIR="$sysroot/lib/pkgconfig" PKG_CONFIG_PATH=""
cross_env=(CC=$triplet-gcc-posix CXX=$triplet-g++-posix AR=$triplet-ar RANLIB=$triplet-ranlib
           STRIP=$triplet-strip WINDRES=$triplet-windres
           "CPPFLAGS=-I$sysroot/include" "LDFLAGS=-L$sysroot/lib" "CFLAGS=-O2 -g0")
configure_cross() { env "${cross_env[@]}" ./configure --host=$triplet --prefix="$sysroot" "$@" >configure.log 2>&1 ||
                    { tail -40 configure.log config.log 2>/dev/null; exit 1; }; }
done_mark() { touch "$sysroot/.built-$1"; }
# need NAME: true when NAME is still to be built. Takes NAME's lock first (held until
# the script ends), so two builds sharing the cache never build it at once.
need() {
  local fd
  exec {fd}>"$cache/.lock-$1"
  flock "$fd"
  [ ! -f "$sysroot/.built-$1" ]
}
license() { local n=$1; shift; mkdir -p "$sysroot/licenses/$n"; cp "$@" "$sysroot/licenses/$n/"; }

if need zlib; then
  say "zlib (Debian's libz-mingw-w64)"
  cp /usr/$triplet/include/zlib.h /usr/$triplet/include/zconf.h "$sysroot/include/"
  cp /usr/$triplet/lib/libz.dll.a "$sysroot/lib/"
  cp /usr/$triplet/lib/zlib1.dll "$sysroot/bin/"
  cat > "$sysroot/lib/pkgconfig/zlib.pc" <<EOF
prefix=$sysroot
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: zlib
Description: zlib compression library
Version: 1.2.13
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
EOF
  license zlib /usr/share/doc/libz-mingw-w64/copyright
  done_mark zlib
fi

if need libffi; then
  say "libffi"; unpack libffi
  configure_cross --enable-shared --disable-static --disable-docs --disable-multi-os-directory
  make -j"$jobs" >build.log 2>&1 && make install >>build.log 2>&1 || { tail -40 build.log; exit 1; }
  license libffi LICENSE
  done_mark libffi
fi

if need pcre2; then
  say "pcre2"; unpack pcre2
  configure_cross --enable-shared --disable-static --enable-pcre2-8 --disable-pcre2-16 --disable-pcre2-32 \
                  --enable-unicode --disable-jit --disable-pcre2grep-libz --disable-pcre2grep-libbz2
  make -j"$jobs" >build.log 2>&1 && make install >>build.log 2>&1 || { tail -40 build.log; exit 1; }
  license pcre2 LICENCE
  done_mark pcre2
fi

# iconv: not part of the Windows C library and GNU libiconv is not in Debian. GLib's
# win_iconv.c (the system's code pages behind the iconv API) built alone as a DLL.
if need iconv; then
  say "iconv (win_iconv from GLib's source)"; unpack glib
  cat > "$sysroot/include/iconv.h" <<'EOF'
#ifndef BV_WIN_ICONV_H
#define BV_WIN_ICONV_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
typedef void* iconv_t;
iconv_t iconv_open(const char* tocode, const char* fromcode);
int iconv_close(iconv_t cd);
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
#ifdef __cplusplus
}
#endif
#endif
EOF
  $triplet-gcc-posix -O2 -DMAKE_DLL -shared -o "$sysroot/bin/libiconv-2.dll" glib/win_iconv.c \
    -Wl,--out-implib,"$sysroot/lib/libiconv.dll.a"
  head -n 20 glib/win_iconv.c > "$work/win_iconv-notice.txt"
  license iconv "$work/win_iconv-notice.txt"
  done_mark iconv
fi

# libintl: the programs are not translated through gettext; a DLL whose lookups return
# the message itself stands in for it (GLib and GMime link it).
if need intl; then
  say "libintl (stand-in)"
  cat > "$sysroot/include/libintl.h" <<'EOF'
#ifndef BV_LIBINTL_H
#define BV_LIBINTL_H
#include <locale.h>
#ifndef LC_MESSAGES
#define LC_MESSAGES 1729
#endif
#ifdef __cplusplus
extern "C" {
#endif
#define BV_FA(n) __attribute__((format_arg(n)))
char* gettext(const char* id) BV_FA(1);
char* dgettext(const char* domain, const char* id) BV_FA(2);
char* dcgettext(const char* domain, const char* id, int category) BV_FA(2);
char* ngettext(const char* id, const char* plural, unsigned long n) BV_FA(1) BV_FA(2);
char* dngettext(const char* domain, const char* id, const char* plural, unsigned long n) BV_FA(2) BV_FA(3);
char* dcngettext(const char* domain, const char* id, const char* plural, unsigned long n, int category) BV_FA(2) BV_FA(3);
char* textdomain(const char* domain);
char* bindtextdomain(const char* domain, const char* dir);
char* bind_textdomain_codeset(const char* domain, const char* codeset);
#undef BV_FA
#ifdef __cplusplus
}
#endif
#endif
EOF
  cat > "$work/intl.c" <<'EOF'
#include <libintl.h>
char* gettext(const char* id) { return (char*)id; }
char* dgettext(const char* d, const char* id) { (void)d; return (char*)id; }
char* dcgettext(const char* d, const char* id, int c) { (void)d; (void)c; return (char*)id; }
char* ngettext(const char* id, const char* pl, unsigned long n) { return (char*)(n == 1 ? id : pl); }
char* dngettext(const char* d, const char* id, const char* pl, unsigned long n) { (void)d; return (char*)(n == 1 ? id : pl); }
char* dcngettext(const char* d, const char* id, const char* pl, unsigned long n, int c) { (void)d; (void)c; return (char*)(n == 1 ? id : pl); }
static char domain[] = "messages";
char* textdomain(const char* d) { (void)d; return domain; }
char* bindtextdomain(const char* d, const char* dir) { (void)d; return (char*)dir; }
char* bind_textdomain_codeset(const char* d, const char* cs) { (void)d; return (char*)cs; }
EOF
  $triplet-gcc-posix -O2 -shared -I"$sysroot/include" -o "$sysroot/bin/libintl-8.dll" "$work/intl.c" \
    -Wl,--out-implib,"$sysroot/lib/libintl.dll.a"
  done_mark intl
fi

cross_file="$work/meson-cross.txt"
cat > "$cross_file" <<EOF
[binaries]
c = '$triplet-gcc-posix'
cpp = '$triplet-g++-posix'
ar = '$triplet-ar'
strip = '$triplet-strip'
windres = '$triplet-windres'
pkgconfig = 'pkg-config'
exe_wrapper = 'wine'

[properties]
pkg_config_libdir = '$sysroot/lib/pkgconfig'

[built-in options]
c_args = ['-I$sysroot/include']
c_link_args = ['-L$sysroot/lib']
cpp_args = ['-I$sysroot/include']
cpp_link_args = ['-L$sysroot/lib']

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF

# GLib with our patches from packaging/windows/patches/glib-*.patch on its upstream
# tarball: GIO without the registry scan its DLL starts in every process at load (see
# the patch). (Marker -2: the first GLib of the cache was built without the patch; a
# warm cache rebuilds GLib alone, whose interface the patch leaves as it was.)
if need glib-2; then
  say "GLib (about 6 minutes)"; unpack glib
  for p in "$root"/packaging/windows/patches/glib-*.patch; do
    patch -p1 -s --no-backup-if-mismatch <"$p" || { echo "build-windows: $(basename "$p") does not apply to GLib" >&2; exit 1; }
  done
  meson setup _build --cross-file "$cross_file" --prefix="$sysroot" --buildtype=release \
    --default-library=shared --wrap-mode=nofallback -Dtests=false -Dinstalled_tests=false -Dnls=disabled \
    -Dman=false -Dgtk_doc=false -Dselinux=disabled -Dxattr=false -Dlibmount=disabled -Dlibelf=disabled \
    -Dsysprof=disabled -Dglib_debug=disabled >meson.log 2>&1 || { tail -40 meson.log; exit 1; }
  ninja -C _build -j"$jobs" >build.log 2>&1 && ninja -C _build install >>build.log 2>&1 || { tail -40 build.log; exit 1; }
  license glib COPYING
  done_mark glib-2
fi

if need gmime-2; then
  say "GMime"; unpack gmime
  touch ChangeLog
  autoreconf -fi >autoreconf.log 2>&1 || { tail -20 autoreconf.log; exit 1; }
  # configure would run iconv-detect, which cannot run while cross-compiling: run it
  # here under Wine against our iconv.
  $triplet-gcc-posix -O2 -I"$sysroot/include" -o iconv-detect.exe iconv-detect.c -L"$sysroot/lib" -liconv
  cp "$sysroot/bin/libiconv-2.dll" .
  wine ./iconv-detect.exe >/dev/null 2>&1 || true
  [ -f iconv-detect.h ] || { echo "build-windows: iconv-detect made no iconv-detect.h" >&2; exit 1; }
  configure_cross --enable-shared --disable-static --disable-crypto --without-libidn --disable-introspection \
                  --disable-vala --disable-gtk-doc ac_cv_have_iconv_detect_h=yes
  make -j"$jobs" -C util >build.log 2>&1 && make -j"$jobs" -C gmime >>build.log 2>&1 && make -C gmime install >>build.log 2>&1 &&
    make install-pkgconfigDATA >>build.log 2>&1 || { tail -40 build.log; exit 1; }
  license gmime COPYING
  done_mark gmime-2
fi

if need libytnef; then
  say "libytnef"; unpack libytnef
  printf '#define PACKAGE_VERSION "2.0"\n#define VERSION "2.0"\n#define HAVE_STRING_H 1\n#define HAVE_STDLIB_H 1\n' > lib/config.h
  (cd lib && $triplet-gcc-posix -O2 -shared -DHAVE_CONFIG_H -I. -o "$sysroot/bin/libytnef-0.dll" ytnef.c \
     -Wl,--out-implib,"$sysroot/lib/libytnef.dll.a")
  mkdir -p "$sysroot/include"
  for h in ytnef.h tnef-errors.h tnef-types.h mapi.h mapidefs.h mapitags.h; do
    [ -f "lib/$h" ] && cp "lib/$h" "$sysroot/include/"
  done
  cat > "$sysroot/lib/pkgconfig/libytnef.pc" <<EOF
prefix=$sysroot
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: libytnef
Description: TNEF (winmail.dat) decoding
Version: 2.0
Libs: -L\${libdir} -lytnef
Cflags: -I\${includedir}
EOF
  license libytnef COPYING
  done_mark libytnef
fi

# GoogleTest for the test programs (static, from Debian's googletest source).
if need gtest; then
  say "GoogleTest"
  rm -rf "$work/gtest"
  cmake -S /usr/src/googletest -B "$work/gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF \
    >"$work/gtest.log" 2>&1 || { tail -30 "$work/gtest.log"; exit 1; }
  cmake --build "$work/gtest" -j"$jobs" >>"$work/gtest.log" 2>&1 && cmake --install "$work/gtest" >>"$work/gtest.log" 2>&1 ||
    { tail -30 "$work/gtest.log"; exit 1; }
  done_mark gtest
fi
# bzip2 and liblzma: the .tar.bz2 and .tar.xz filters of libarchive.
if need bzip2; then
  say "bzip2"; unpack bzip2
  $triplet-gcc-posix -O2 -shared -o "$sysroot/bin/libbz2-1.dll" blocksort.c huffman.c crctable.c randtable.c \
    compress.c decompress.c bzlib.c -Wl,--out-implib,"$sysroot/lib/libbz2.dll.a"
  cp bzlib.h "$sysroot/include/"
  license bzip2 LICENSE
  done_mark bzip2
fi

if need xz; then
  say "liblzma (xz-utils)"; unpack xz
  configure_cross --enable-shared --disable-static --disable-xz --disable-xzdec --disable-lzmadec \
                  --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls
  make -j"$jobs" -C src/liblzma >build.log 2>&1 && make -C src/liblzma install >>build.log 2>&1 ||
    { tail -40 build.log; exit 1; }
  license xz COPYING
  done_mark xz
fi

# libarchive (archive inputs): zlib for zip and gzip, bzip2, xz; no tools, tests or
# crypto. (Marker -3: the first build of the cache had neither bzip2 nor xz, the second
# not Debian's patches.)
if need libarchive-3; then
  say "libarchive"; unpack libarchive
  cmake -S . -B _build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DBV_WIN_SYSROOT="$sysroot" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" -DBUILD_SHARED_LIBS=ON \
    -DENABLE_TEST=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_OPENSSL=OFF -DENABLE_CNG=OFF \
    -DENABLE_NETTLE=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_LZMA=ON -DENABLE_BZip2=ON -DENABLE_LZ4=OFF \
    -DENABLE_ZSTD=OFF -DENABLE_LIBB2=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_WERROR=OFF \
    >build.log 2>&1 || { tail -40 build.log; exit 1; }
  grep -q 'define HAVE_LIBLZMA 1' _build/config.h && grep -q 'define HAVE_LIBBZ2 1' _build/config.h ||
    { echo "build-windows: libarchive found no liblzma or libbz2" >&2; grep -i 'lzma\|bz' build.log | tail; exit 1; }
  cmake --build _build -j"$jobs" >>build.log 2>&1 && cmake --install _build >>build.log 2>&1 ||
    { tail -40 build.log; exit 1; }
  rm -f "$sysroot/lib/libarchive_static.a"
  license libarchive COPYING
  done_mark libarchive-3
fi

# libical (calendar inputs): the C library only, its own time zone data.
if need libical; then
  say "libical"; unpack libical
  cmake -S . -B _build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DBV_WIN_SYSROOT="$sysroot" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" -DSHARED_ONLY=ON -DICAL_GLIB=OFF \
    -DICAL_BUILD_DOCS=OFF -DLIBICAL_BUILD_TESTING=OFF -DWITH_CXX_BINDINGS=OFF -DENABLE_GTK_DOC=OFF \
    -DGOBJECT_INTROSPECTION=OFF -DICAL_GLIB_VAPI=OFF -DUSE_BUILTIN_TZDATA=ON -DCMAKE_DISABLE_FIND_PACKAGE_ICU=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_BDB=ON -DPERL_EXECUTABLE=/usr/bin/perl \
    >build.log 2>&1 && cmake --build _build -j"$jobs" >>build.log 2>&1 && cmake --install _build >>build.log 2>&1 ||
    { tail -40 build.log; exit 1; }
  license libical LICENSE LICENSE.LGPL21.txt LICENSE.MPL2.txt
  done_mark libical
fi

# libxml2 and libgsf: only the .msg tests need them (they read the files back through
# libgsf's compound-file reader); nothing shipped links them.
if need libxml2; then
  say "libxml2"; unpack libxml2
  # Debian's patches change Makefile.am: the build system made anew, as Debian does.
  autoreconf -fi >autoreconf.log 2>&1 || { tail -20 autoreconf.log; exit 1; }
  configure_cross --enable-shared --disable-static --without-python --without-debug --without-http --without-ftp \
                  --without-lzma --without-zlib --without-icu --without-catalog --without-docbook --with-iconv
  make -j"$jobs" >build.log 2>&1 && make install >>build.log 2>&1 ||
    { tail -40 build.log; exit 1; }
  license libxml2 Copyright
  done_mark libxml2
fi

if need libgsf; then
  say "libgsf"; unpack libgsf
  configure_cross --enable-shared --disable-static --disable-introspection --without-gdk-pixbuf --with-bz2 \
                  --disable-gtk-doc --disable-nls --without-python
  make -j"$jobs" -C gsf >build.log 2>&1 && make -C gsf install >>build.log 2>&1 && make install-pkgconfigDATA >>build.log 2>&1 ||
    { tail -40 build.log; exit 1; }
  license libgsf COPYING
  done_mark libgsf
fi

say "sysroot ready: $sysroot ($(du -sh "$sysroot" | cut -f1))"
# (each library's step left us in its source folder)
cd "$root"

# ---------------------------------------------------------------------------------
# 4. Qt for Windows
qt="${BV_WIN_QT:-}"
if [ -z "$qt" ]; then
  s="$(dirname "$root")/shared/toolchains/qt6-win64"
  if [ -f "$s/lib/cmake/Qt6/Qt6Config.cmake" ]; then qt="$s"; fi
fi
if [ -z "$qt" ]; then
  qt="$cache/qt6-win64"
  if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    say "Qt 6.4.2 for Windows from Debian's qt6-base source (about 25 minutes)"
    unpack qtbase
    cmake -S . -B _build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt" -DBUILD_SHARED_LIBS=ON \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
      -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
      -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_zstd=OFF \
      -DFEATURE_jpeg=OFF -DFEATURE_vulkan=OFF -DFEATURE_widgets=ON -DFEATURE_testlib=ON -DFEATURE_concurrent=ON \
      -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF \
      -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF >qt-configure.log 2>&1 ||
      { tail -40 qt-configure.log; exit 1; }
    cmake --build _build -j"$jobs" >qt-build.log 2>&1 && cmake --install _build >>qt-build.log 2>&1 ||
      { tail -40 qt-build.log; exit 1; }
    mkdir -p "$qt/LICENSES" && cp LICENSES/* "$qt/LICENSES/"
    cd "$root"
  fi
fi
say "Qt: $qt"

# ---------------------------------------------------------------------------------
# 5. The programs and the tests
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The build folder: build-windows/ in the checkout, or $BV_WIN_BUILD (absolute).
bdir="${BV_WIN_BUILD:-$root/build-windows}"
say "configuring and building into $bdir"
cmake -S . -B "$bdir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DBV_WIN_SYSROOT="$sysroot" -DBV_WIN_QT="$qt" -DCMAKE_BUILD_TYPE=Release \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=ON -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST \
  "${launcher[@]}" >"$bdir.configure.log" 2>&1 || { tail -40 "$bdir.configure.log"; exit 1; }
rm -f "$bdir.configure.log"
cmake --build "$bdir" -j"$jobs"

# Where the programs find their DLLs when run from the build folder (tests, Wine).
winpath="Z:$sysroot/bin;Z:$qt/bin;Z:/usr/lib/gcc/$triplet/12-posix;Z:/usr/$triplet/lib"
echo "$winpath" > "$bdir/winepath.txt"
printf 'BV_WIN_SYSROOT=%s\nBV_WIN_QT=%s\nWINEPREFIX=%s\n' "$sysroot" "$qt" "$WINEPREFIX" > "$bdir/windows-env.txt"

if [ $package = 1 ]; then
  BV_WIN_SYSROOT="$sysroot" BV_WIN_QT="$qt" packaging/windows/make-package.sh "$bdir"
fi
say "done in $(( $(date +%s) - t0 )) s"
if [ $package = 1 ]; then
  ls "$bdir"/BrimvaultConverter-*-setup.exe
fi
