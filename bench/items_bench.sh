#!/usr/bin/env bash
# Contacts and calendars: 50,000 cards and 100,000 events (generated once into
# bench/data) converted into .pst and into .msg files; prints time and peak memory of
# each run, and of the run over a file a tenth the size, so flat memory shows; the
# largest of each also from inside a .zip.
#   bench/items_bench.sh [--tool PATH/TO/brimvault-convert] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
tool="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tool) tool="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ -z "$tool" ]; then
  scripts/install-deps.sh >/dev/null
  scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF >/dev/null
  tool=build-bench/cli/brimvault-convert
fi
data=bench/data/items
mkdir -p "$data"
for spec in "contacts 50000 cards-50000.vcf" "contacts 5000 cards-5000.vcf" \
            "events 100000 events-100000.ics" "events 10000 events-10000.ics"; do
  set -- $spec
  [ -f "$data/$3" ] || python3 bench/gen_items.py "$1" "$2" "$data/$3"
done
# The largest of each inside a .zip: cards read as they are decompressed, a calendar
# held in memory while it is read (twice).
for f in cards-50000.vcf events-100000.ics; do
  [ -f "$data/$f.zip" ] || python3 -c 'import sys, zipfile, os
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as z: z.write(sys.argv[1], "export/" + os.path.basename(sys.argv[1]))' \
    "$data/$f" "$data/$f.zip"
done
out=${out:-$(mktemp -d)}
mkdir -p "$out"
printf '%-22s %-5s %10s %12s %10s\n' input kind seconds "peak MiB" "out MiB"
for input in cards-5000.vcf cards-50000.vcf cards-50000.vcf.zip events-10000.ics events-100000.ics \
             events-100000.ics.zip; do
  for kind in pst msg; do
    case "$input" in *.zip) [ $kind = pst ] || continue ;; esac
    dest="$out/$kind-$input"
    rm -rf "$dest"
    /usr/bin/time -f '%e %M' -o "$out/time" "$tool" --to "$kind" -o "$dest" "$data/$input" >/dev/null 2>&1
    read -r secs kib < "$out/time"
    printf '%-22s %-5s %10s %12.1f %10.1f\n' "$input" "$kind" "$secs" "$(echo "$kib / 1024" | bc -l)" \
      "$(du -sm "$dest" | cut -f1)"
    rm -rf "$dest"
  done
done
