#!/usr/bin/env bash
# Builds the archive reader's fuzzer (clang, libFuzzer, AddressSanitizer) and runs it
# for about a minute, seeded with the archives the unit tests build. Fails when the
# fuzzer finds anything: a sanitizer report, a leak, a timeout, or a file created
# outside the directories the reader was given.
#   FUZZ_SECONDS  how long to fuzz (default 60)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
seconds=${FUZZ_SECONDS:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target archive_fuzzer

# The unit tests save every archive they build here (ARCHIVE_SEED_DIR, set by CTest).
seeds=$top/build/native/tests/unit/archive-seeds
if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
  echo "fuzz: no seeds yet; running the archive unit tests to make them"
  [ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
  cmake --build --preset native --target unit_tests
  mkdir -p "$seeds"
  ARCHIVE_SEED_DIR=$seeds build/native/tests/unit/unit_tests --gtest_filter='Archive*' >/dev/null
fi

# New inputs go to the first folder, which persists between runs; findings to artifacts.
corpus=$top/build/fuzz/corpus
artifacts=$top/build/fuzz/artifacts
mkdir -p "$corpus"
rm -rf "$artifacts"
mkdir -p "$artifacts"
log=$top/build/fuzz/archive_fuzzer.log
echo "fuzz: archive_fuzzer for ${seconds} s, $(ls "$seeds" | wc -l) seeds, log in $log"
status=0
build/fuzz/fuzz/archive_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
grep -E '^stat::|^#[0-9]+ +DONE' "$log" || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
  tail -n 60 "$log" >&2
  echo "fuzz: FAILED (exit $status); inputs in $artifacts" >&2
  exit 1
fi
echo "fuzz: nothing found"
