#!/usr/bin/env bash
# Extreme inputs (generated once into bench/data/extreme by gen_extreme.py): time, CPU
# and peak memory of each conversion, so that memory bounded by the largest message
# and folder creation that costs what it adds show as figures.
#   bench/extreme_bench.sh [--tool PATH/TO/brimvault-convert] [--out DIR] [--only NAME,...]
# Cases: attachment (one message, a 300 MB base64 attachment), line (a 200 MB line
# without a line end), recipients (200,000), recipients-8000x40 (40 messages of 8,000:
# what waits for the store stays bounded), attachments (10,000), mailboxes-5k and
# mailboxes-20k (a .tgz of small mailboxes into one store), labels-5k (--by-label,
# 5,000 labels).
set -euo pipefail
cd "$(dirname "$0")/.."
tool="" out="" only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tool) tool="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ -z "$tool" ]; then
  scripts/install-deps.sh >/dev/null
  scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
  tool=build-bench/cli/brimvault-convert
fi
data=bench/data/extreme
mkdir -p "$data"
make() {  # make FILE KIND [N]
  [ -f "$data/$1" ] || python3 bench/gen_extreme.py "$2" "$data/$1" ${3:-}
}
make attachment.mbox attachment
make line.mbox line
make recipients.mbox recipients
make recipients-8000x40.mbox many-recipients 8000
make attachments.mbox attachments
make mailboxes-5k.tgz mailboxes 5000
make mailboxes-20k.tgz mailboxes 20000
make labels-5k.mbox labels 5000
out=${out:-$(mktemp -d)}
printf '%-16s %-4s %9s %9s %10s %11s %5s\n' case kind seconds "CPU s" "peak MiB" "peak/input" exit
run() {  # run NAME KIND INPUT [OPTIONS...]
  local name=$1 kind=$2 input=$3
  shift 3
  if [ -n "$only" ] && [[ ",$only," != *",$name,"* ]]; then return; fi
  rm -rf "$out/run" && mkdir -p "$out/run"
  local stats rc=0
  # (time's figures go to a file of their own: the program's output is thrown away)
  /usr/bin/time -o "$out/time" -f '%e %U %S %M' "$tool" --to "$kind" "$@" -o "$out/run" "$data/$input" \
    >/dev/null 2>/dev/null || rc=$?
  stats=$(tail -n 1 "$out/time")
  read -r wall user sys kb <<<"$stats"
  # Peak memory over the input's size: for the one-message cases, how many times the
  # message is held at once.
  local ratio
  ratio=$(echo "scale=2; $kb * 1024 / $(stat -c %s "$data/$input")" | bc)
  printf '%-16s %-4s %9.2f %9.2f %10d %11s %5s\n' "$name" "$kind" "$wall" "$(echo "$user + $sys" | bc)" $((kb / 1024)) "$ratio" "$rc"
}
for kind in pst msg; do
  run attachment $kind attachment.mbox
  run line $kind line.mbox
  run recipients $kind recipients.mbox
  run recipients-8000x40 $kind recipients-8000x40.mbox
  run attachments $kind attachments.mbox
done
run mailboxes-5k pst mailboxes-5k.tgz --single-pst
run mailboxes-20k pst mailboxes-20k.tgz --single-pst
run labels-5k pst labels-5k.mbox --by-label
rm -rf "$out/run" "$out/time"
