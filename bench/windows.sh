#!/usr/bin/env bash
# The Windows build under Wine against the Linux build on the same generated mailbox:
#   bench/windows.sh [--runs N] [--size-mb N | --mbox FILE] [--kinds eml,msg,pst] [--before EXE]
#                    [--linux DIR]
# Needs a Linux build (build/, or DIR, with cli/brimvault-convert) and build-windows/
# (scripts/build-windows.sh). Prints for each kind the medians of the wall time and of
# the CPU time of both: on Linux the converter's, under Wine the converter's process
# (its Unix side included) plus Wine's server, which does for it much of what the
# kernel does on Linux (the server's share is printed too). .pst and .msg are the kinds
# whose messages are built on worker threads (the allocator's work), .eml the baseline
# (a file per message: what a file costs). With --before, a second Windows
# brimvault-convert.exe (an earlier build, beside the same DLLs, or with DLLs of its own
# in its folder, which Windows loads before those on the path) is timed too, its runs
# alternated with the others'. --mbox converts that mailbox instead of a generated one.
# Wine's requests to its server are counted for one run of each kind when
# BV_WINE_REQUESTS=1 (a slower run, with the server tracing every request). With
# BV_PERF=1, one more run of each kind on both sides is sampled by perf (the kernel's
# work for it counts; under Wine, its server's samples apart) and shown by thread and
# module.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs=3 size=40 before="" kinds="eml msg pst" mbox="" linux=build
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --size-mb) size=$2; shift 2 ;;
    --kinds) kinds=${2//,/ }; shift 2 ;;
    --before) before=$(realpath "$2"); shift 2 ;;
    --mbox) mbox=$(realpath "$2"); shift 2 ;;
    --linux) linux=$2; shift 2 ;;
    *) echo "usage: bench/windows.sh [--runs N] [--size-mb N | --mbox FILE] [--kinds eml,msg,pst] [--before EXE] [--linux DIR]" >&2
       exit 2 ;;
  esac
done
linux_exe="$(realpath "$linux")/cli/brimvault-convert"
[ -x "$linux_exe" ] || { echo "bench/windows.sh: no $linux_exe" >&2; exit 2; }
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
# The Windows names, once: winepath is a Wine program, slower than some runs.
win_out="$(winepath -w "$work")\\out" win_mbox="$(winepath -w "$work/bench.mbox")"
# The server of our prefix (the one that has its WINEPREFIX), for its CPU time.
server_pid() {
  local p
  for p in $(pgrep wineserver); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
  done
  return 0
}
# CPU milliseconds of process $1 so far (user and system).
cpu_ms() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || { echo 0; return; }
  awk -v hz="$(getconf CLK_TCK)" '{sub(/.*\) /, ""); printf "%d\n", ($12 + $13) * 1000 / hz}' "/proc/$1/stat"
}
spid=$(server_pid)
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# timed CMD...: runs CMD, prints "wall_ms cpu_ms server_ms": the CPU of CMD and of every
# process it starts (perf's count: wine hands the program to a process of its own that
# is not its child, which the shell's and time's counts miss) and of Wine's server in
# that time (0 when there is none).
timed() {
  rm -rf "$work/out"
  local t s0 s1
  s0=$(cpu_ms "$spid"); t=$(date +%s%N)
  perf stat -x, -e task-clock -o "$work/time" -- "$@" >/dev/null 2>"$work/err" || { echo "failed ($?): $*" >&2; tail -3 "$work/err" >&2; }
  t=$(( ($(date +%s%N) - t) / 1000000 )); s1=$(cpu_ms "$spid")
  awk -F, -v t="$t" -v s=$((s1 - s0)) '$3 == "task-clock" {printf "%d %d %d\n", t, $1 + s, s}' "$work/time"
}
linux_run() { timed "$linux_exe" --to "$1" -o "$work/out" "$work/bench.mbox"; }
wine_run() { timed wine "$1" --to "$2" -o "$win_out" "$win_mbox"; }

printf '%-5s %9s %9s %6s %9s %9s %9s %6s' kind linux_ms wine_ms ratio linux_cpu wine_cpu '(server)' ratio
[ -n "$before" ] && printf ' %9s %6s %9s %6s' before_ms ratio bef_cpu ratio
echo
for kind in $kinds; do
  : >"$work/l"; : >"$work/w"; : >"$work/b"
  for ((i = 0; i < runs; i++)); do
    linux_run $kind >>"$work/l"
    wine_run build-windows/cli/brimvault-convert.exe $kind >>"$work/w"
    [ -z "$before" ] || wine_run "$before" $kind >>"$work/b"
  done
  col() { awk -v c="$2" '{print $c}' "$1" | median; }
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
  lm=$(col "$work/l" 1) lc=$(col "$work/l" 2) wm=$(col "$work/w" 1) wc=$(col "$work/w" 2) ws=$(col "$work/w" 3)
  printf '%-5s %9s %9s %6s %9s %9s %9s %6s' $kind "$lm" "$wm" "$(ratio "$wm" "$lm")" "$lc" "$wc" "($ws)" "$(ratio "$wc" "$lc")"
  if [ -n "$before" ]; then
    bm=$(col "$work/b" 1) bc=$(col "$work/b" 2)
    printf ' %9s %6s %9s %6s' "$bm" "$(ratio "$bm" "$lm")" "$bc" "$(ratio "$bc" "$lc")"
  fi
  echo
done

if [ "${BV_PERF:-0}" = 1 ]; then
  # perf_run WHAT SERVER CMD...: where one run's CPU time goes, by thread and module
  # (samples of CMD and its threads; with SERVER=1 also of Wine's server, apart).
  perf_run() {
    local what=$1 server=$2 sp=""; shift 2
    rm -rf "$work/out"
    if [ "$server" = 1 ] && [ -n "$spid" ]; then
      perf record -q -e cpu-clock -F 999 -p "$spid" -o "$work/perf-server.data" >/dev/null 2>&1 &
      sp=$!; sleep 1
    fi
    perf record -q -e cpu-clock -F 999 -o "$work/perf.data" -- "$@" >/dev/null 2>&1 || true
    echo "-- $what: the converter's samples by thread and module (the top 12)"
    perf report -i "$work/perf.data" --sort comm,dso --stdio 2>/dev/null | grep -v '^#' | grep -v '^$' | head -12
    if [ -n "$sp" ]; then
      kill -INT "$sp"; wait "$sp" 2>/dev/null || true
      echo "-- $what: Wine's server's samples by module (the top 6)"
      perf report -i "$work/perf-server.data" --sort dso --stdio 2>/dev/null | grep -v '^#' | grep -v '^$' | head -6
    fi
  }
  for kind in $kinds; do
    perf_run "$kind, Linux" 0 "$linux_exe" --to $kind -o "$work/out" "$work/bench.mbox"
    perf_run "$kind, Wine" 1 wine build-windows/cli/brimvault-convert.exe --to $kind -o "$win_out" "$win_mbox"
  done
fi
wineserver -k 2>/dev/null || true

if [ "${BV_WINE_REQUESTS:-0}" = 1 ]; then
  # A server of its own that traces every request: one line for each request and one
  # for its reply, each led by the calling thread's id. wine starts a program through
  # start.exe, a process of its own; only the requests of the converter's process are
  # counted, the whole run's beside them.
  log="$work/server.log"
  wineserver -f -d2 -p >"$log" 2>&1 &
  server=$!
  sleep 1
  requests() {
    awk '
      match($0, /^[0-9a-f]+: init_first_thread\(\) = 0 \{ pid=[0-9a-f]+, tid=[0-9a-f]+/) {
        split(substr($0, RSTART, RLENGTH), f, /[=, ]+/); pid[f[length(f)] ":"] = f[length(f) - 2] }
      /: new_thread\( process=ffffffff/ { asked[$1] = 1 }
      /: new_thread\(\) = 0 \{ tid=/ && asked[$1] { t = $0; sub(/.*tid=/, "", t); sub(/,.*/, "", t); pid[t ":"] = pid[$1]; asked[$1] = 0 }
      /: new_process\( .*imagepath=L"[^"]*brimvault-convert\.exe"/ { ours[$1] = 1 }
      /: new_process\(\) = 0 \{/ && ours[$1] { p = $0; sub(/.*pid=/, "", p); sub(/,.*/, "", p); child = p; ours[$1] = 0 }
      { line[NR] = $0; tid[NR] = $1 }
      END {
        for (i = 1; i <= NR; i++) {
          if (pid[tid[i]] != child) continue
          n++
          if (match(line[i], /: [a-z_]+\( /)) by[substr(line[i], RSTART + 2, RLENGTH - 4)]++
        }
        printf "%d requests (%d in the run); most: ", n / 2, NR / 2
        for (k in by) print by[k], k | "sort -rn | head -5 | tr \"\\n\" \" \""
      }'
  }
  for kind in $kinds; do
    for exe in build-windows/cli/brimvault-convert.exe $before; do
      n0=$(wc -l <"$log"); wine_run "$exe" $kind >/dev/null; sleep 1; n1=$(wc -l <"$log")
      echo "$kind $(basename "$(dirname "$(dirname "$exe")")")/$(basename "$exe"): $(sed -n "$((n0 + 1)),${n1}p" "$log" | requests)"
    done
  done
  wineserver -k 2>/dev/null || true
  wait "$server" 2>/dev/null || true
fi
