#!/usr/bin/env bash
# The Windows build under Wine against the Linux build on the same generated mailbox:
#   bench/windows.sh [--runs N] [--size-mb N | --mbox FILE] [--kinds eml,msg,pst] [--before EXE]
# Needs build/ (Linux, brimvault-convert) and build-windows/ (scripts/build-windows.sh).
# Prints the median wall time of each kind for both; .pst and .msg are the kinds whose
# messages are built on worker threads (the allocator's work), .eml the baseline (a file
# per message: what a file costs). With --before, a second Windows brimvault-convert.exe
# (an earlier build, beside the same DLLs, or with DLLs of its own in its folder, which
# Windows loads before those on the path) is timed too, its runs alternated with the
# others'. --mbox converts that mailbox instead of a generated one. Wine's requests to its server are counted for one run of each kind when
# BV_WINE_REQUESTS=1 (a slower run, with the server tracing every request).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs=3 size=40 before="" kinds="eml msg pst" mbox=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --size-mb) size=$2; shift 2 ;;
    --kinds) kinds=${2//,/ }; shift 2 ;;
    --before) before=$(realpath "$2"); shift 2 ;;
    --mbox) mbox=$(realpath "$2"); shift 2 ;;
    *) echo "usage: bench/windows.sh [--runs N] [--size-mb N | --mbox FILE] [--kinds eml,msg,pst] [--before EXE]" >&2
       exit 2 ;;
  esac
done
while IFS='=' read -r k v; do export "$k=$v"; done < build-windows/windows-env.txt
export WINEDEBUG=-all WINEPATH="$(cat build-windows/winepath.txt)"
work="$(mktemp -d /tmp/bv-winbench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
if [ -n "$mbox" ]; then
  ln -s "$mbox" "$work/bench.mbox"
else
  python3 bench/gen_mbox.py "$work/bench.mbox" --size-mb "$size" --avg-kb 8 --seed 7
fi
wineserver -p 2>/dev/null || true   # keeps Wine's server up between runs
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# wine_run EXE KIND: milliseconds of one conversion under Wine.
wine_run() {
  rm -rf "$work/out"
  local t; t=$(date +%s%N)
  wine "$1" --to "$2" -o "$(winepath -w "$work")\\out" "$(winepath -w "$work/bench.mbox")" >/dev/null 2>&1
  echo $(( ($(date +%s%N) - t) / 1000000 ))
}
printf '%-5s %10s %10s %8s' kind linux_ms wine_ms ratio
[ -n "$before" ] && printf ' %10s %8s' before_ms ratio
echo
for kind in $kinds; do
  l=() w=() b=()
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out"
    t=$(date +%s%N); build/cli/brimvault-convert --to $kind -o "$work/out" "$work/bench.mbox" >/dev/null 2>&1
    l+=($(( ($(date +%s%N) - t) / 1000000 )))
    w+=($(wine_run build-windows/cli/brimvault-convert.exe $kind))
    [ -z "$before" ] || b+=($(wine_run "$before" $kind))
  done
  lm=$(printf '%s\n' "${l[@]}" | median); wm=$(printf '%s\n' "${w[@]}" | median)
  ratio() { awk -v a="$1" -v b="$lm" 'BEGIN {printf "%.2f", a / b}'; }
  printf '%-5s %10s %10s %8s' $kind "$lm" "$wm" "$(ratio "$wm")"
  if [ -n "$before" ]; then bm=$(printf '%s\n' "${b[@]}" | median); printf ' %10s %8s' "$bm" "$(ratio "$bm")"; fi
  echo
done
wineserver -k 2>/dev/null || true

if [ "${BV_WINE_REQUESTS:-0}" = 1 ]; then
  # A server of its own that traces every request; the requests of a run are the
  # lines it adds (each request is one line and its reply another).
  log="$work/server.log"
  wineserver -f -d2 -p >"$log" 2>&1 &
  server=$!
  sleep 1
  for kind in $kinds; do
    for exe in build-windows/cli/brimvault-convert.exe $before; do
      n0=$(wc -l <"$log"); wine_run "$exe" $kind >/dev/null; sleep 1; n1=$(wc -l <"$log")
      echo "$kind $(basename "$(dirname "$(dirname "$exe")")")/$(basename "$exe"): $(( (n1 - n0) / 2 )) requests;" \
           "most: $(sed -n "$((n0 + 1)),${n1}p" "$log" | grep -o ': [a-z_]*(' | sort | uniq -c | sort -rn | head -4 |
                    awk '{printf "%s %s ", $3, $1}')"
    done
  done
  wineserver -k 2>/dev/null || true
  wait "$server" 2>/dev/null || true
fi
