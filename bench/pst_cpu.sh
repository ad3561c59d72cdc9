#!/usr/bin/env bash
# The CPU of a .pst run against an .eml run of the same content-rich mailbox (multipart
# alternatives, a few messages with attachments of megabytes): user + system seconds,
# medians of alternated runs, and their ratio ("CPU vs eml").
#   bench/pst_cpu.sh [--generator PATH] [--runs N] [--compare OTHER-brimvault-convert]
# The mailbox is made once into bench/data by the generator (make_mbox.py, called as
# "make_mbox.py OUT 200 7 lf"; by default ../shared/bench/make_mbox.py).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=../shared/bench/make_mbox.py
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --generator) generator=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
mbox=bench/data/rich.mbox
if [ ! -f "$mbox" ]; then
  mkdir -p bench/data
  python3 "$generator" "$mbox.part" 200 7 lf
  mv "$mbox.part" "$mbox"
fi
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
exec python3 bench/bench.py --tool build-bench/cli/brimvault-convert --bare /bin/true --peers "" --corpora "" \
  --kinds eml,pst --runs 5 --mbox "$mbox" "${args[@]}"
