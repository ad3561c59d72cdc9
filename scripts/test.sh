#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test:
#   scripts/test.sh                    reuses what earlier runs left: the build folders, ccache,
#                                      the Windows cache (~/.cache/brimvault-windows: sources,
#                                      cross-built libraries, Wine prefix)
#   scripts/test.sh --cold [--without-shared] [--keep]
#                                      as on a fresh machine: a clean clone of the committed
#                                      HEAD in a new temporary folder, run with an empty ccache,
#                                      npm cache and Windows cache. Qt for Windows comes from
#                                      shared/toolchains beside the checkout when it is there;
#                                      --without-shared builds it from source too. The folder
#                                      is removed at the end unless --keep. (Debian packages
#                                      already installed stay installed.)
# Each stage's time is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

cold=0 shared=1 keep=0
for a in "$@"; do
  case "$a" in
    --cold) cold=1 ;;
    --without-shared) shared=0 ;;
    --keep) keep=1 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) echo "usage: scripts/test.sh [--cold [--without-shared] [--keep]]" >&2; exit 2 ;;
  esac
done

if [ $cold = 1 ]; then
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/bv-cold.XXXXXX")
  [ $keep = 1 ] || trap 'rm -rf "$tmp"' EXIT
  echo "== cold run in $tmp (a clone of $(git rev-parse --short HEAD))"
  git clone -q --no-hardlinks "$root" "$tmp/brimvault"
  if [ $shared = 1 ] && [ -d "$(dirname "$root")/shared" ]; then
    ln -s "$(cd "$(dirname "$root")/shared" && pwd)" "$tmp/shared"
  fi
  mkdir -p "$tmp/cache"
  (
    unset BV_WIN_QT BV_WIN_BUILD WINEPREFIX
    export BV_WIN_CACHE="$tmp/cache/brimvault-windows" CCACHE_DIR="$tmp/cache/ccache" npm_config_cache="$tmp/cache/npm"
    cd "$tmp/brimvault" && scripts/test.sh
  )
  exit
fi

t0=$(date +%s)
times=()
stage_name="" stage_t=$t0
stage() {
  local now; now=$(date +%s)
  [ -n "$stage_name" ] && times+=("$(printf '%6d s  %s' $((now - stage_t)) "$stage_name")")
  stage_name=$1 stage_t=$now
  [ -n "$1" ] && echo "== $1"
  return 0
}

stage "Debian packages and the JavaScript readers"
scripts/install-deps.sh

stage "build (release with debug info)"
scripts/build.sh build -DBV_BUILD_GUI=ON -DBV_BUILD_TESTS=ON
stage "tests"
(cd build && QT_QPA_PLATFORM=offscreen ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 900)

# The Windows build: cross-built, its tests and the installed programs run under Wine
# and compared with the Linux build above.
if [ -x scripts/test-windows.sh ]; then
  stage "Windows build, under Wine"
  BV_JOBS="$jobs" scripts/test-windows.sh build
fi

if [ -x scripts/test-sanitizers.sh ]; then
  stage "sanitizers"
  scripts/test-sanitizers.sh
fi
if [ -x scripts/test-threads.sh ]; then
  stage "threads"
  scripts/test-threads.sh
fi
if [ -x scripts/fuzz.sh ]; then
  stage "fuzzing"
  scripts/fuzz.sh --ci
fi
stage ""
echo "== times"
printf '%s\n' "${times[@]}"
echo "$(printf '%6d s' $(( $(date +%s) - t0 )))  in all"
echo "== all tests passed"
