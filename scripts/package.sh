#!/usr/bin/env bash
# Makes the packages of one version (the project's, CMakeLists.txt) into dist/:
#   scripts/package.sh [--deb] [--windows]      (both when neither is given)
# --deb: brimvault-converter_<version>_amd64.deb for this Debian release, made by CPack
#   from a release build in build-deb/ (Debian's hardening flags; dependencies computed
#   by dpkg-shlibdeps), then checked: lintian (no errors), appstreamcli validate (no
#   errors or warnings) and desktop-file-validate.
# --windows: BrimvaultConverter-<version>-setup.exe, from scripts/build-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

deb=0 windows=0
for a in "$@"; do
  case "$a" in
    --deb) deb=1 ;;
    --windows) windows=1 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) echo "usage: scripts/package.sh [--deb] [--windows]" >&2; exit 2 ;;
  esac
done
[ $deb = 0 ] && [ $windows = 0 ] && deb=1 windows=1
mkdir -p dist

if [ $deb = 1 ]; then
  scripts/install-deps.sh >/dev/null
  tools=(dpkg-dev lintian appstream desktop-file-utils)
  missing=()
  for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi

  echo "== package: the Debian package (build-deb/)"
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=OFF "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
  cmake --build build-deb -j "$(nproc)"
  (cd build-deb && cpack -G DEB -B "$root/build-deb/cpack" >/dev/null)
  pkg=$(ls build-deb/cpack/brimvault-converter_*_amd64.deb)
  cp "$pkg" dist/
  pkg="dist/$(basename "$pkg")"
  dpkg-deb -I "$pkg" | sed -n 's/^ \(Package\|Version\|Depends\):/\1:/p'

  echo "== package: checks"
  failed=0
  # lintian: errors fail; warnings are shown.
  lintian --tag-display-limit 0 "$pkg" | tee build-deb/lintian.txt || true
  if grep -q '^E:' build-deb/lintian.txt; then echo "lintian found errors"; failed=1; fi
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -x "$pkg" "$tmp"
  appstreamcli validate --no-net --pedantic "$tmp"/usr/share/metainfo/*.metainfo.xml || failed=1
  desktop-file-validate "$tmp"/usr/share/applications/*.desktop || failed=1
  man -l "$tmp/usr/share/man/man1/brimvault-convert.1.gz" 2>&1 >/dev/null | grep . && failed=1
  [ $failed = 0 ] || { echo "package: the Debian package failed its checks" >&2; exit 1; }
  echo "package: $pkg"
fi

if [ $windows = 1 ]; then
  echo "== package: the Windows installer"
  scripts/build-windows.sh
  setup=$(ls "${BV_WIN_BUILD:-build-windows}"/BrimvaultConverter-*-setup.exe)
  cp "$setup" dist/
  echo "package: dist/$(basename "$setup")"
fi
