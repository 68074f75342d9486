#!/usr/bin/env bash
# The test command: sets the machine up, builds every build, and runs every test:
# the native unit tests (AddressSanitizer and UBSan) and the end-to-end tests, which
# run the Windows build under Wine and play the user through the real dialogs.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$top/scripts/bootstrap.sh"
bash "$top/scripts/build_all.sh"
cd "$top"
ctest --preset native -j 2
# The archive reader (a minute) and mksetup's checks (half that) under libFuzzer;
# fails if either finds anything.
bash "$top/fuzz/run.sh"
