#!/usr/bin/env bash
# Builds the engine's tests with ThreadSanitizer in build-tsan and runs those that
# exercise the import workers, the store's writer thread, concurrent imports and the
# read-ahead of archive members.
# (GLib and GMime are not instrumented; their own locking is trusted: scripts/tsan.supp.)
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

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp
# GLib's slice allocator hands memory between threads in ways the sanitizer cannot see.
export G_SLICE=always-malloc
"$build/tests/conversion/conversion_tests" --gtest_filter='ImportPipeline.*:Run.*:ArchiveRun.*'
"$build/tests/mailstore_pst/mailstore_pst_tests" --gtest_filter='PstStore.*'
"$build/tests/mailstore_mime/mailstore_mime_tests" --gtest_filter='*ThreadSafe*'
# A whole run of each output kind, on a mailbox of the corpus and on one whose
# messages name a charset each, so the workers meet the charset caches of GMime and
# the converter modules of iconv for the first time side by side.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mixed="$out/charsets.mbox"
i=0
for cs in iso-8859-2 koi8-r windows-1251 iso-8859-7 shift_jis euc-kr big5 gb2312 iso-2022-jp \
          windows-1253 iso-8859-13 ibm866 koi8-u tis-620 iso-8859-9 windows-1250; do
  for round in 1 2 3 4 5 6 7 8; do
    i=$((i + 1))
    printf 'From a@example.org Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: =?%s?q?m%d?=\nMessage-ID: <m%d@example.org>\nMIME-Version: 1.0\nContent-Type: text/plain; charset=%s\n\nmessage %d\n\n' \
      "$cs" "$i" "$i" "$cs" "$i" >>"$mixed"
  done
done
for mbox in tests/data/corpus/mbox/mimekit/content-length.mbox.txt "$mixed"; do
  for kind in pst msg emlx; do
    rm -rf "$out/$kind"
    "$build/cli/brimvault-convert" --to "$kind" -o "$out/$kind" "$mbox" >/dev/null
  done
done
# Message files sorted by labels: the workers make the label folders side by side.
rm -rf "$out/eml"
"$build/cli/brimvault-convert" --to eml --by-label -o "$out/eml" tests/data/labels.mbox >/dev/null
echo "== threads: no data races found"
