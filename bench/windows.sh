#!/usr/bin/env bash
# The Windows build under Wine against the Linux build on the same generated mailbox:
#   bench/windows.sh [--runs N] [--size-mb N]
# Needs build/ (Linux, brimvault-convert) and build-windows/ (scripts/build-windows.sh).
# Prints the median wall time of each kind for both; .pst and .msg are the kinds whose
# messages are built on worker threads (the allocator's work), .eml the baseline.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs=3 size=40
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --size-mb) size=$2; shift 2 ;;
    *) echo "usage: bench/windows.sh [--runs N] [--size-mb N]" >&2; exit 2 ;;
  esac
done
while IFS='=' read -r k v; do export "$k=$v"; done < build-windows/windows-env.txt
export WINEDEBUG=-all WINEPATH="$(cat build-windows/winepath.txt)"
work="$(mktemp -d /tmp/bv-winbench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
python3 bench/gen_mbox.py "$work/bench.mbox" --size-mb "$size" --avg-kb 8 --seed 7
wineserver -p 2>/dev/null || true   # keeps Wine's server up between runs
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
printf '%-5s %12s %12s %8s\n' kind linux_ms wine_ms ratio
for kind in eml msg pst; do
  l=() w=()
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out"
    t=$(date +%s%N); build/cli/brimvault-convert --to $kind -o "$work/out" "$work/bench.mbox" >/dev/null 2>&1
    l+=($(( ($(date +%s%N) - t) / 1000000 )))
    rm -rf "$work/out"
    t=$(date +%s%N); wine build-windows/cli/brimvault-convert.exe --to $kind -o "$(winepath -w "$work")\\out" \
      "$(winepath -w "$work/bench.mbox")" >/dev/null 2>&1
    w+=($(( ($(date +%s%N) - t) / 1000000 )))
  done
  lm=$(printf '%s\n' "${l[@]}" | median); wm=$(printf '%s\n' "${w[@]}" | median)
  printf '%-5s %12s %12s %8s\n' $kind "$lm" "$wm" "$(awk -v a="$wm" -v b="$lm" 'BEGIN {printf "%.2f", a / b}')"
done
wineserver -k 2>/dev/null || true
