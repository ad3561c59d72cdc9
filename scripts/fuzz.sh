#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# in build-fuzz and runs each for a while against its corpus in fuzz/corpus/.
#
#   scripts/fuzz.sh [--time SECONDS] [TARGET...]   run each target SECONDS (default 300);
#                                                  new finds are merged into fuzz/corpus/
#                                                  (only inputs that add coverage)
#   scripts/fuzz.sh --ci                           CI: the saved crash inputs once, then
#                                                  every target ~12 s on a copy of its corpus
#
# A crash stops the script with the input saved in build-fuzz/artifacts/; once fixed,
# copy that input into fuzz/regressions/TARGET/ so it is replayed on every CI run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

ci=0
seconds=300
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --ci) ci=1; seconds=12 ;;
    --time) seconds=$2; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
all=(fuzz_archive fuzz_extraction fuzz_import fuzz_labels fuzz_msg fuzz_pst fuzz_pst_validate fuzz_tnef fuzz_vcard fuzz_ical)
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

max_len() {
  case "$1" in
    fuzz_extraction) echo 16384 ;;
    fuzz_pst) echo 16384 ;;
    fuzz_pst_validate) echo 300000 ;;
    *) echo 32768 ;;
  esac
}

build=build-fuzz
echo "== fuzz: build ($build)"
t0=$(date +%s)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" "${gen[@]}" -DBV_FUZZ=ON -DBV_SANITIZE=ON \
    -DBV_BUILD_GUI=OFF -DBV_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
echo "== fuzz: build took $(( $(date +%s) - t0 )) s"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
artifacts=$root/$build/artifacts
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for t in "${targets[@]}"; do
  bin=$build/fuzz/$t
  name=${t#fuzz_}
  corpus=fuzz/corpus/$name
  mkdir -p "$corpus"
  common=(-max_len="$(max_len "$t")" -timeout=30 -rss_limit_mb=4096 -artifact_prefix="$artifacts/$t-"
          -print_final_stats=1)
  if [ -d "fuzz/regressions/$name" ] && [ -n "$(ls -A "fuzz/regressions/$name")" ]; then
    echo "== $t: replaying fuzz/regressions/$name"
    "$bin" "${common[@]}" fuzz/regressions/"$name"/* 2>&1 | tail -3
  fi
  t1=$(date +%s)
  echo "== $t: ${seconds} s"
  if [ $ci -eq 1 ]; then
    # CI leaves the repository as it is: the corpus is copied.
    cp -r "$corpus" "$work/$name"
    "$bin" "${common[@]}" -max_total_time="$seconds" "$work/$name" > "$work/$name.log" 2>&1 ||
      { tail -60 "$work/$name.log"; echo "== $t: FAILED (input in $artifacts)"; exit 1; }
    grep -E "^(stat::number_of_executed_units|Done)" "$work/$name.log" | tr '\n' ' '; echo
  else
    mkdir -p "$work/$name.new"
    "$bin" "${common[@]}" -max_total_time="$seconds" "$work/$name.new" "$corpus" > "$work/$name.log" 2>&1 ||
      { tail -60 "$work/$name.log"; echo "== $t: FAILED (input in $artifacts)"; exit 1; }
    grep -E "^(stat::number_of_executed_units|Done)" "$work/$name.log" | tr '\n' ' '; echo
    before=$(ls "$corpus" | wc -l)
    # Edges only (no hit counters), and nothing over 64 KiB: the corpus stays small.
    find "$work/$name.new" -type f -size +64k -delete
    "$bin" -merge=1 -use_counters=0 -max_len="$(max_len "$t")" -timeout=30 "$corpus" "$work/$name.new" \
      > "$work/$name.merge.log" 2>&1
    echo "== $t: corpus $before -> $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB"
    printf '%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$t" "$seconds" >> "$build/fuzz-time.log"
  fi
  echo "== $t: took $(( $(date +%s) - t1 )) s"
done
echo "== fuzz: all targets passed"
