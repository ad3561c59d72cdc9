#!/usr/bin/env bash
# Builds a release brimvault-convert and the yardstick, generates the corpora (once,
# into bench/data) and prints our times side by side with the peers'.
#   bench/bench.sh [--runs N] [--kinds eml,msg,pst] [--corpora lf,crlf,small] [--big] [--scale] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >/dev/null
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
mkdir -p build-bench/bench
cc -O2 -o build-bench/bench/bare_split bench/bare_split.c
exec python3 bench/bench.py --tool build-bench/cli/brimvault-convert --bare build-bench/bench/bare_split "$@"
