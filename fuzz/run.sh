#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, AddressSanitizer) and runs each, seeded with the
# archives the unit tests build: the archive reader for about a minute, mksetup's checks
# of setup files for half that. Fails when a fuzzer finds anything: a sanitizer report, a
# leak, a timeout, or (the reader) a file created outside the directories it was given.
#   FUZZ_SECONDS  how long to fuzz the reader (default 60); the checks get half
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
seconds=${FUZZ_SECONDS:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target archive_fuzzer setup_check_fuzzer

# The unit tests save every archive they build here (ARCHIVE_SEED_DIR, set by CTest).
seeds=$top/build/native/tests/unit/archive-seeds
if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
  echo "fuzz: no seeds yet; running the archive unit tests to make them"
  [ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
  cmake --build --preset native --target core_tests
  mkdir -p "$seeds"
  ARCHIVE_SEED_DIR=$seeds build/native/tests/unit/core_tests --gtest_filter='Archive*' >/dev/null
fi

# run_fuzzer NAME SECONDS: new inputs go to the first folder, which persists between
# runs; findings to artifacts.
run_fuzzer() {
  local name="$1" secs="$2" corpus="$top/build/fuzz/corpus-$1" artifacts="$top/build/fuzz/artifacts-$1"
  local log="$top/build/fuzz/$1.log" status=0
  mkdir -p "$corpus"
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  echo "fuzz: $name for ${secs} s, $(ls "$seeds" | wc -l) seeds, log in $log"
  "build/fuzz/fuzz/$name" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  grep -E '^stat::|^#[0-9]+ +DONE' "$log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
    tail -n 60 "$log" >&2
    echo "fuzz: $name FAILED (exit $status); inputs in $artifacts" >&2
    return 1
  fi
  echo "fuzz: $name found nothing"
}

run_fuzzer archive_fuzzer "$seconds"
run_fuzzer setup_check_fuzzer "$((seconds / 2))"
