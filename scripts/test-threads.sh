#!/usr/bin/env bash
# Builds the engine's tests with ThreadSanitizer in build-tsan and runs those that
# exercise the import workers, the store's writer thread, concurrent imports and the
# read-ahead of archive members.
# (GLib and GMime are not instrumented; their own locking is trusted.)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-tsan
jobs=$(nproc)

echo "== threads: build ($build)"
t0=$(date +%s)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
cmake -S . -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBV_BUILD_GUI=OFF -DBV_JEMALLOC=OFF \
  -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" -j "$jobs" --target conversion_tests mailstore_pst_tests mailstore_mime_tests brimvault-convert
echo "== threads: build took $(( $(date +%s) - t0 )) s"

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# GLib's slice allocator hands memory between threads in ways the sanitizer cannot see.
export G_SLICE=always-malloc
"$build/tests/conversion/conversion_tests" --gtest_filter='ImportPipeline.*:Run.*:ArchiveRun.*'
"$build/tests/mailstore_pst/mailstore_pst_tests" --gtest_filter='PstStore.*'
"$build/tests/mailstore_mime/mailstore_mime_tests" --gtest_filter='*ThreadSafe*'
# A whole run of each store kind, on a mailbox of the corpus.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mbox=tests/data/corpus/mbox/mimekit/content-length.mbox.txt
for kind in pst msg; do
  "$build/cli/brimvault-convert" --to "$kind" -o "$out/$kind" "$mbox" >/dev/null
done
echo "== threads: no data races found"
