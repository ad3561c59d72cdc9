#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs the whole test suite there, leak checking included.
# LeakSanitizer ignores only the one-time allocations of the libraries listed in
# fuzz/lsan.supp (GLib, GMime, libgsf, Qt), never our own code.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
build=build-asan

echo "== sanitizers: build ($build)"
t0=$(date +%s)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" "${gen[@]}" -DBV_SANITIZE=ON -DBV_BUILD_GUI=ON >/dev/null
else
  cmake -S . -B "$build" -DBV_SANITIZE=ON -DBV_BUILD_GUI=ON >/dev/null
fi
cmake --build "$build" -j "$jobs"
echo "== sanitizers: build took $(( $(date +%s) - t0 )) s"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
t1=$(date +%s)
(cd "$build" && ctest --no-tests=error --output-on-failure -j "$jobs" --timeout 1800)
echo "== sanitizers: tests took $(( $(date +%s) - t1 )) s"
