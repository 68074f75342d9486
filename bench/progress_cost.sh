#!/usr/bin/env bash
# What the progress window costs the installation step, under Wine: progress_cost.exe
# (bench/progress_cost.cpp) installs the big payload round by round with and without the
# window, first with Wine's null display driver (as the end-to-end tests run), then on a
# private X server, where the window is really drawn. Not a test: prints figures, asserts
# nothing about speed.
#
#   bash bench/progress_cost.sh [ROUNDS]      (default 5)
#
# Needs the native build (mksetup, the e2e template test) and the win64 build; the win32
# build is measured too where the kernel runs 32-bit programs, else skipped with a line.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" != --arch ]; then
  rounds=${1:-5}
  mksetup=$top/build/native/tools/mksetup
  [ -x "$mksetup" ] || { echo "no $mksetup: build the native preset first" >&2; exit 1; }
  for arch in win64 win32; do
    if [ "$arch" = win32 ]; then
      status=0
      reason=$(E2E_ARCH=win32 bash -c "source '$top/tests/e2e/wine_env.sh'; e2e_cannot_run_32bit") || status=$?
      [ "$status" != 0 ] && [ "$status" != 3 ] || { echo "win32: skipped, this machine cannot run 32-bit programs: $reason"; continue; }
    fi
    [ -f "$top/build/$arch/progress_cost.exe" ] || { echo "$arch: no build/$arch/progress_cost.exe: skipped"; continue; }
    template=$top/build/native/tests/e2e/$arch/wine-template
    [ -f "$template/ready" ] || ctest --test-dir "$top/build/native" -R "e2e_${arch}_template" >/dev/null ||
      { echo "$arch: the Wine template could not be made" >&2; exit 1; }
    for display in null xvfb; do
      E2E_ARCH=$arch E2E_MKSETUP=$mksetup E2E_TEMPLATE=$template E2E_WORK=${TMPDIR:-/tmp}/bench-progress-$arch \
        SETUP_DEPS_DIR=${SETUP_DEPS_DIR:-$top/.cache/deps} bash "$0" --arch "$display" "$rounds"
    done
  done
  exit 0
fi

# One build on one display, in its own prefix.
display=$2 rounds=$3
source "$top/tests/e2e/wine_env.sh"
source "$top/tests/e2e/install_env.sh"
source "$top/bench/payloads.sh"
if [ "$display" = xvfb ]; then e2e_init --xvfb > /dev/null; else e2e_init > /dev/null; fi
data=$E2E_WORK/data
mkdir -p "$data" "$E2E_C/dl"
count=$(bench_payload big "$data")
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$E2E_C/dl/SetupGalvery.exe" --add-dir "d:/Galvery=$data" > /dev/null
rm -rf "$data"
e2e_wine "$E2E_WIN_DIR/progress_cost.exe" 'C:\dl\SetupGalvery.exe' 'C:\Galvery' 'C:\figures.txt' "$rounds" > /dev/null 2>&1 ||
  e2e_fail "progress_cost.exe failed"
figures=$E2E_C/figures.txt
[ -f "$figures" ] && ! grep -q failed "$figures" || e2e_fail "progress_cost.exe could not install the payload: $(cat "$figures" 2>/dev/null)"
awk -v arch="$E2E_ARCH" -v display="$display" -v count="$count" '
  $1 == "rounds" { rounds = $2 } $1 == "without" { wb = $2; wm = $3 } $1 == "opened" { ob = $2; om = $3 }
  $1 == "window" { sb = $2; sm = $3 }
  END { printf "%s, %s display, %d files of 180 MiB, best / median of %d rounds:\n", arch, display, count, rounds
        printf "  without a window   %.3f s / %.3f s\n", wb, wm
        printf "  window, told nothing %.3f s / %.3f s (%+.1f %% / %+.1f %%)\n", ob, om, 100 * (ob / wb - 1), 100 * (om / wm - 1)
        printf "  window as used     %.3f s / %.3f s (%+.1f %% / %+.1f %%)\n", sb, sm, 100 * (sb / wb - 1), 100 * (sm / wm - 1) }' "$figures"
