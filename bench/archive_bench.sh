#!/usr/bin/env bash
# The 200 MB mailbox converted from a .zip and from a .tar against the same mailbox
# unpacked (.eml and .pst, outputs on a tmpfs, alternated runs, medians and peak
# memory), and the low-space run: from the .zip with TMPDIR on a 4 MB tmpfs and the
# destination on a tmpfs that holds the outputs but not a second copy of the mailbox.
#   bench/archive_bench.sh [--runs N] [--kinds eml,pst] [--no-tight]
# Mounting needs root; without it the outputs go to /dev/shm and the low-space run is
# skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >/dev/null
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
exec python3 bench/archive_bench.py --tool build-bench/cli/brimvault-convert "$@"
