#!/usr/bin/env bash
# Runs the core unit tests built for Windows (core_tests.exe) under Wine, in a fresh copy of
# the template prefix of E2E_ARCH's family, as the CTest tests unit_win32 and unit_win64 do:
#   run.sh [GTEST_ARGUMENT...]
# GoogleTest arguments come from the command line (a CTest entry's own, a filter say) and
# from UNIT_WINE_GTEST_ARGS, split at spaces, for a run by hand:
#   UNIT_WINE_GTEST_ARGS=--gtest_filter='EntryNames*' ctest --preset native -R unit_win64
# It passes only when core_tests.exe ends with status 0 and GoogleTest says it ran at
# least one test and that every one passed or skipped itself, saying why. The inputs are wine_env.sh's (E2E_ARCH,
# E2E_WIN_DIR, E2E_TEMPLATE, E2E_WORK, ...), and UNIT_WINE_EXE, the program (default
# $E2E_WIN_DIR/tests/unit/core_tests.exe); the skip rules for a machine that cannot run
# 32-bit programs are theirs too (status 77).
: "${E2E_ARCH:=win32}"
: "${E2E_WORK:=${TMPDIR:-/tmp}/unit-$E2E_ARCH}"
# shellcheck source=../e2e/wine_env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/wine_env.sh"
# What the messages and e2e_cleanup's PASS/FAIL line call this test.
# shellcheck disable=SC2034
E2E_NAME="${UNIT_WINE_NAME:-unit_$E2E_ARCH}"
: "${UNIT_WINE_EXE:=$E2E_WIN_DIR/tests/unit/core_tests.exe}"

e2e_require_programs() {
  e2e_require_file "$UNIT_WINE_EXE" "the core unit tests (core_tests.exe)" "$(e2e_build_hint)"
}

e2e_init

# The tests' scratch folders go into this test's own prefix, on drive C: as on Windows,
# under a short name: a test may depend on the length of its paths (a report that must
# fit a message box), and a deep Z: path is longer than a user's temporary folder. Wine
# gives its programs TMP and TEMP from the user's registry environment, never from the
# Unix one.
scratch='C:\tmp'
mkdir -p "$(e2e_unix_path "$scratch")"
for variable in TMP TEMP; do
  e2e_wine reg add 'HKCU\Environment' /v "$variable" /t REG_SZ /d "$scratch" /f > "$E2E_WORK/reg.txt" 2>&1 ||
    e2e_fail "could not set $variable in the prefix: $(cat "$E2E_WORK/reg.txt")"
done
echo "unit: TMP and TEMP are $scratch"
# The native runs save their archives for the fuzzer; these would be Windows paths.
unset ARCHIVE_SEED_DIR

read -ra extra <<< "${UNIT_WINE_GTEST_ARGS:-}"
output="$E2E_WORK/gtest.txt"
start=$(e2e_now)
status=0
# To a file, as e2e_init starts Wine: its system processes inherit the output.
e2e_wine "$UNIT_WINE_EXE" "${extra[@]}" "$@" > "$output.crlf" 2>&1 || status=$?
took=$(e2e_since "$start")
# The Windows C library ends its lines with CR LF.
tr -d '\r' < "$output.crlf" > "$output"
rm "$output.crlf"
cat "$output"

# GoogleTest's summary: "[==========] N tests from M test suites ran. (T ms total)", then
# "[  PASSED  ] N tests." and, for any failure, "[  FAILED  ] K tests, listed below:".
ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$output" | tail -n1)
passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\.$/\1/p' "$output" | tail -n1)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:$/\1/p' "$output" | tail -n1)
echo "unit: $E2E_ARCH core_tests.exe under Wine: exit status $status, ${ran:-no} tests run, ${passed:-none} passed," \
     "${skipped:-none} skipped, in $took"
[ "$status" = 0 ] || e2e_fail "core_tests.exe ended with exit status $status"
[ -n "$ran" ] || e2e_fail "GoogleTest printed no summary: core_tests.exe did not run its tests"
[ "$ran" -gt 0 ] || e2e_fail "GoogleTest ran no test (arguments: ${extra[*]} $*)"
[ $((${passed:-0} + ${skipped:-0})) = "$ran" ] ||
  e2e_fail "GoogleTest ran $ran tests, and says ${passed:-none} passed and ${skipped:-none} skipped (the others are above)"
! grep -q '^\[  FAILED  \]' "$output" || e2e_fail "GoogleTest reports failed tests"
