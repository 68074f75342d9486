#!/usr/bin/env bash
# The test command: sets the machine up, builds every build, and runs every test: the
# native unit tests (AddressSanitizer and UBSan); the end-to-end tests, which run each
# Windows build (win32, the shipped one, and win64) under Wine and play the user through
# its real dialogs; the check that a second clean build gives the same Windows images;
# and the fuzzers.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$top/scripts/bootstrap.sh"
bash "$top/scripts/build_all.sh"
cd "$top"

# Where the kernel cannot start 32-bit programs, or the package archive could not supply
# 32-bit Wine today (bootstrap says so), the win32 template records why and the win32
# tests skip; the run then ends with this warning, whatever else happens.
no_win32="$top/build/native/tests/e2e/win32/wine-template/unsupported"
rm -f "$no_win32"
warn_no_win32() {
  if [ -f "$no_win32" ]; then
    echo
    echo "WARNING: this machine cannot run 32-bit Windows programs ($(cat "$no_win32")): the win32 end-to-end tests and unit_win32 were NOT run"
  fi
}
trap warn_no_win32 EXIT

# Wine's programs mostly wait on one another: four at a time keep both cores busy.
ctest --preset native -j 4
# The archive reader (a minute) and mksetup's checks (half that) under libFuzzer;
# fails if either finds anything.
bash "$top/fuzz/run.sh"
