#!/usr/bin/env bash
# What the progress window costs the installation step, under Wine: progress_cost.exe
# (bench/progress_cost.cpp) installs the big payload round by round with and without the
# window, first with Wine's null display driver (as the end-to-end tests run), then on a
# private X server, where the window is really drawn. Not a test: prints figures, asserts
# nothing about speed.
#
#   bash bench/progress_cost.sh [ROUNDS]      (default 5)
#   BENCH_BEFORE_win64=PROGRESS_COST.EXE (or _win32): an earlier build's progress_cost.exe,
#          run in turn with this build's, three times each on the null display, so that
#          a change to the step is measured against the build before it in the same run
#          (the step's own time, without the windows of a whole setup run)
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
# measure EXE LABEL: one run of EXE, its figures printed under LABEL.
measure() {
  cp "$1" "$E2E_C/progress_cost.exe"
  rm -f "$E2E_C/figures.txt"
  e2e_wine 'C:\progress_cost.exe' 'C:\dl\SetupGalvery.exe' 'C:\Galvery' 'C:\figures.txt' "$rounds" > /dev/null 2>&1 ||
    e2e_fail "$2: progress_cost.exe failed"
  local figures=$E2E_C/figures.txt
  [ -f "$figures" ] && ! grep -q failed "$figures" || e2e_fail "$2: progress_cost.exe could not install the payload: $(cat "$figures" 2>/dev/null)"
  awk -v label="$2" -v display="$display" -v count="$count" '
    $1 == "rounds" { rounds = $2 } $1 == "without" { wb = $2; wm = $3 } $1 == "atonce" { ob = $2; om = $3 }
    $1 == "window" { sb = $2; sm = $3 }
    END { printf "%s, %s display, %d files of 180 MiB, best / median of %d rounds:\n", label, display, count, rounds
          printf "  without a window     %.3f s / %.3f s\n", wb, wm
          if (ob != "") printf "  window from the start %.3f s / %.3f s (%+.1f %% / %+.1f %%)\n", ob, om, 100 * (ob / wb - 1), 100 * (om / wm - 1)
          printf "  window as used       %.3f s / %.3f s (%+.1f %% / %+.1f %%)\n", sb, sm, 100 * (sb / wb - 1), 100 * (sm / wm - 1) }' "$figures"
}
before_name=BENCH_BEFORE_$E2E_ARCH
before=${!before_name:-}
if [ -z "$before" ] || [ "$display" != null ]; then
  measure "$E2E_WIN_DIR/progress_cost.exe" "$E2E_ARCH"
else
  [ -f "$before" ] || e2e_fail "no $before ($before_name)"
  for turn in 1 2 3; do
    measure "$E2E_WIN_DIR/progress_cost.exe" "$E2E_ARCH, this build, turn $turn"
    measure "$before" "$E2E_ARCH, before, turn $turn"
  done
fi
