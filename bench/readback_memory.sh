#!/usr/bin/env bash
# Peak memory of a .pst run against the message count (the run includes the read back of
# the store it wrote), and of pst-validate reading that store alone (all checks, and
# --fast, the checks the read back makes), so that memory which grows with the store shows.
#   bench/readback_memory.sh [--tool DIR] [--other DIR] [--counts 100000,1000000 | --mbox FILE] [--out DIR]
# DIR is a build folder (cli/brimvault-convert, pstcheck/pst-validate); --other runs a second
# build (e.g. main's) on the same inputs, alternating. The mailboxes (bench/data/nN.mbox, 0.5 KB
# messages) are made once by gen_mbox.py, the same as bench.py --scale makes them; --mbox
# measures a mailbox made elsewhere instead.
set -euo pipefail
cd "$(dirname "$0")/.."
tool="" other="" counts="100000,1000000" out="" given=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tool) tool="$2"; shift 2 ;;
    --other) other="$2"; shift 2 ;;
    --counts) counts="$2"; shift 2 ;;
    --mbox) given="$2"; counts=given; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ -z "$tool" ]; then
  scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
  tool=build-bench
fi
out=${out:-$(mktemp -d)}
mkdir -p "$out"
mkdir -p bench/data
builds=("$tool")
[ -n "$other" ] && builds+=("$other")
printf '%-9s %-28s %-13s %9s %10s\n' messages build step seconds "peak MiB"
measure() {  # measure COUNT BUILD STEP COMMAND...
  local count=$1 build=$2 step=$3
  shift 3
  local stats
  /usr/bin/time -o "$out/time.txt" -f '%e %M' "$@" >/dev/null 2>&1 || true
  stats=$(tail -1 "$out/time.txt")
  printf '%-9s %-28s %-13s %9s %10.1f\n' "$count" "$build" "$step" "${stats% *}" "$(echo "${stats#* } / 1024" | bc -l)"
}
for count in ${counts//,/ }; do
  mbox=${given:-bench/data/n$count.mbox}
  [ -f "$mbox" ] || python3 bench/gen_mbox.py "$mbox" --count "$count" --avg-kb 0.5
  for build in "${builds[@]}"; do
    dest="$out/run-$count"
    rm -rf "$dest"
    measure "$count" "$build" "run .pst" "$build/cli/brimvault-convert" --to pst -o "$dest" "$mbox"
    store=$(ls "$dest"/*.pst | head -1)
    measure "$count" "$build" "validate" "$build/pstcheck/pst-validate" "$store"
    measure "$count" "$build" "validate fast" "$build/pstcheck/pst-validate" --fast "$store"
    rm -rf "$dest"
  done
done
