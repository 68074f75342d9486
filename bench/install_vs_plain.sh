#!/usr/bin/env bash
# The setup program against a plain extractor (bench/plain_extract.cpp) on the same setup
# files, under Wine, in the same run and the same prefix. Not a test: prints figures,
# asserts nothing about speed.
#
#   bash bench/install_vs_plain.sh [big] [5000] [20000]      (all three when none is named)
#   BENCH_ROUNDS=N: runs of each, whose medians are shown (default 3)
#   BENCH_BEFORE_win64=SETUP.EXE (or _win32): an earlier build's setup program, measured in
#          the same rounds as a third program (the "before" columns), on setup files built
#          the same way with it as the stub
#
# Needs the native build (mksetup, the e2e template test) and the win64 build; the win32
# build is measured too where the kernel runs 32-bit programs, else skipped with a line.
# Payloads: big (100 MiB incompressible + 80 MiB text in four files, a setup file of about
# 103 MB), 5000 small files in 50 folders, 20000 small files in one folder; every name is
# different, since both programs write flat into one folder.
#
# What is timed, for both programs alike:
#   step:  the installation step alone. For the setup program, from the click on "Accept"
#          to the report message box, which appears once every file is written and closed:
#          the check, the room count, the pack file, the unpacking and the progress window.
#          The driver marks both on its own clock; it looks for the box again after a
#          fiftieth of the time waited (1 to 20 ms), so that the mark lags by 2 % at most
#          and its looks take little from the program on a long step; and it hooks
#          nothing into the program (no-spy), which would see every message it sends. For
#          plain_extract, its own clock from its start to its end (it prints it).
#   whole: from starting the program to that point, one Wine process start included, and
#          for the setup program the dialogs too (the baseline row shows what a one-file
#          setup file takes).
# Fresh into an empty C:\Galvery (C:\Plain), then again over the installed files (upgrade).
# Peak memory: the setup program's VmHWM at the report; plain_extract's maximum resident
# size from GNU time, when /usr/bin/time is there.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" != --arch ]; then
  payloads=("$@")
  [ ${#payloads[@]} -gt 0 ] || payloads=(big 5000 20000)
  mksetup=$top/build/native/tools/mksetup
  [ -x "$mksetup" ] || { echo "no $mksetup: build the native preset first" >&2; exit 1; }
  results=$(mktemp)
  trap 'rm -f "$results"' EXIT
  for arch in win64 win32; do
    if [ "$arch" = win32 ]; then
      status=0
      reason=$(E2E_ARCH=win32 bash -c "source '$top/tests/e2e/wine_env.sh'; e2e_cannot_run_32bit") || status=$?
      [ "$status" != 0 ] && [ "$status" != 3 ] || { echo "win32: skipped, this machine cannot run 32-bit programs: $reason"; continue; }
    fi
    [ -f "$top/build/$arch/setup.exe" ] && [ -f "$top/build/$arch/plain_extract.exe" ] ||
      { echo "$arch: not built (no build/$arch/setup.exe or plain_extract.exe): skipped"; continue; }
    template=$top/build/native/tests/e2e/$arch/wine-template
    [ -f "$template/ready" ] || ctest --test-dir "$top/build/native" -R "e2e_${arch}_template" >/dev/null ||
      { echo "$arch: the Wine template could not be made" >&2; exit 1; }
    E2E_ARCH=$arch E2E_MKSETUP=$mksetup E2E_TEMPLATE=$template E2E_WORK=${TMPDIR:-/tmp}/bench-vs-plain-$arch \
      SETUP_DEPS_DIR=${SETUP_DEPS_DIR:-$top/.cache/deps} BENCH_RESULTS=$results \
      bash "$0" --arch "${payloads[@]}"
  done
  echo
  echo "medians of ${BENCH_ROUNDS:-3} runs; step: the installation step alone; whole: from the program's start, dialogs included (seconds)"
  printf '%-9s %-6s %8s %8s %6s %8s %8s %6s %8s %8s %10s %10s %9s %9s\n' payload build 'fresh' 'plain' ratio \
    'upgrade' 'plain' ratio 'whole f.' 'plain' 'setup KiB' 'plain KiB' 'before f.' 'before u.'
  awk '{ printf "%-9s %-6s %8.2f %8.2f %6.2f %8.2f %8.2f %6.2f %8.2f %8.2f %10s %10s %9s %9s\n", $1, $2, $3, $4, $3 / $4, $5, $6, $5 / $6, $7, $8, $9, $10, $11, $12 }' "$results"
  echo
  echo "less the one-file baseline of the same build (what every setup takes: the agreement closing, the check,"
  echo "the progress window, the report box), the ratios of what grows with the payload:"
  awk '$1 == "baseline" { bf[$2] = $3; bp[$2] = $4; bu[$2] = $5; bq[$2] = $6; next }
       ($2 in bf) && $4 > bp[$2] && $6 > bq[$2] {
         printf "%-9s %-6s fresh %6.2f  upgrade %6.2f\n", $1, $2, ($3 - bf[$2]) / ($4 - bp[$2]), ($5 - bu[$2]) / ($6 - bq[$2]) }' "$results"
  exit 0
fi

# One build's run, in its own prefix.
shift
source "$top/tests/e2e/wine_env.sh"
source "$top/tests/e2e/install_env.sh"
source "$top/bench/payloads.sh"
e2e_init > /dev/null
plain=$E2E_WIN_DIR/plain_extract.exe
before_name=BENCH_BEFORE_$E2E_ARCH
before=${!before_name:-}
[ -z "$before" ] || [ -f "$before" ] || e2e_fail "no $before ($before_name)"
mkdir -p "$E2E_C/dl"

# warm NAME: reads the setup file, so that both programs find it in the page cache (this
# machine's kernel takes back clean pages it sees unused, and a read from the disk would
# fall in one program's time and not the other's).
warm() { cat "$E2E_C/dl/$1/SetupGalvery.exe" > /dev/null; }

# setup_run NAME: runs C:\dl\NAME\SetupGalvery.exe (the name selects the product) to its report (text in $E2E_WORK/NAME.report),
# answers it and the shortcut question; sets $secs (whole), $step and $peak.
setup_run() {
  local exe="C:\\dl\\$1\\SetupGalvery.exe" start
  rm -f "$E2E_WORK/at_report"
  warm "$1"
  start=$(e2e_now)
  E2E_CHECKPOINT_WAIT=900 e2e_driver_async timeout 900 no-spy \
    start "$exe" "\"$exe\"" dialog 'Setup Galvery' click 1 dialog 'License Agreement' \
    poll 20 mark accept click 1 \
    msgbox-file SetupGalvery "$(e2e_windows_path "$E2E_WORK/$1.report")" 1 mark report \
    checkpoint "$(e2e_checkpoint report)" \
    timeout 120 click 1 "${E2E_NO_SHORTCUT[@]}" exit 0 > "$E2E_WORK/driver.out"
  E2E_CHECKPOINT_WAIT=900 e2e_at_checkpoint report at_report "$exe" "$start"
  e2e_driver_wait || e2e_fail "the driver failed on $1 (transcript in $E2E_WORK/transcript.txt)"
  step=$(awk '$1 == "mark" && $2 == "accept" { a = $3 } $1 == "mark" && $2 == "report" { r = $3 }
              END { if (a != "" && r != "") printf "%.3f", (r - a) / 1000 }' "$E2E_WORK/driver.out")
  [ -n "$step" ] || e2e_fail "the driver marked no step on $1: $(cat "$E2E_WORK/driver.out")"
}
at_report() {
  secs=$(awk -v a="$2" -v b="$(e2e_now)" 'BEGIN { printf "%.3f", b - a }')
  peak=$(e2e_peak_memory "$1" 2>/dev/null)
}

# plain_run NAME: plain_extract on the same setup file into C:\Plain; sets $secs, $step and $peak.
plain_run() {
  local start out=$E2E_WORK/plain.out
  warm "$1"
  start=$(e2e_now)
  if [ -x /usr/bin/time ]; then
    (cd "$E2E_C" && /usr/bin/time -f %M -o "$E2E_WORK/plain.mem" "$E2E_WINE" "$plain" "C:\\dl\\$1\\SetupGalvery.exe" 'C:\Plain') > "$out" 2>&1 ||
      e2e_fail "plain_extract failed on $1: $(cat "$out")"
    peak=$(tail -n1 "$E2E_WORK/plain.mem")
  else
    e2e_wine "$plain" "C:\\dl\\$1\\SetupGalvery.exe" 'C:\Plain' > "$out" 2>&1 || e2e_fail "plain_extract failed on $1: $(cat "$out")"
    peak=-
  fi
  secs=$(awk -v a="$start" -v b="$(e2e_now)" 'BEGIN { printf "%.3f", b - a }')
  step=$(tr -d '\r' < "$out" | awk '$1 == "plain_extract:" && $2 == "work" { print $3 }' | tail -n1)
  [ -n "$step" ] || e2e_fail "plain_extract printed no work time: $(cat "$out")"
}

# make_setup NAME DIR: C:\dl\NAME\SetupGalvery.exe from every file under DIR, and the report the setup
# program will show for it, worked out as the program does (30,000 characters at most,
# less 32 for the "and N more files" line when the list does not fit).
make_setup() {
  mkdir -p "$E2E_C/dl/$1"
  "$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$E2E_C/dl/$1/SetupGalvery.exe" --add-dir "d:/Galvery=$2" > /dev/null
  (cd "$2" && find . -type f -printf '%P\n' | LC_ALL=C sort) |
    awk '{ n = split($0, p, "/"); line = "c:\\Galvery\\" p[n] "\n"; lines[NR] = line; whole += length(line) }
         END { limit = (16 + whole <= 30000) ? 30000 : 30000 - 32; total = 16; report = ""
               for (i = 1; i <= NR; ++i) { if (total + length(lines[i]) > limit) break; report = report lines[i]; total += length(lines[i]) }
               printf "Unpacked files:\n%s", report; if (i <= NR) printf "and %d more files\n", NR - i + 1 }' > "$E2E_WORK/$1.report"
  [ -s "$E2E_C/dl/$1/SetupGalvery.exe" ] || e2e_fail "mksetup made no setup file for $1"
  if [ -n "$before" ]; then
    mkdir -p "$E2E_C/dl/$1-before"
    "$E2E_MKSETUP" build --stub "$before" --product Galvery --out "$E2E_C/dl/$1-before/SetupGalvery.exe" \
      --add-dir "d:/Galvery=$2" > /dev/null
    cp "$E2E_WORK/$1.report" "$E2E_WORK/$1-before.report"
  fi
}

# measure NAME COUNT: fresh and upgrade, both programs; one line of figures per payload.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure NAME COUNT: fresh and upgrade, both programs, BENCH_ROUNDS times in turn (the
# medians count: a single run swings with the page cache and the disk's write-back); one
# line of figures per payload.
measure() {
  local ps pp round got
  local -a fs=() fp=() us=() up=() fw=() pw=() fb=() ub=()
  for ((round = 0; round < ${BENCH_ROUNDS:-3}; ++round)); do
    rm -rf "$E2E_C/Galvery" "$E2E_C/Plain"
    setup_run "$1"; fs+=("$step"); fw+=("$secs"); ps=$peak
    plain_run "$1"; fp+=("$step"); pw+=("$secs"); pp=$peak
    got=$(find "$E2E_C/Galvery" -type f | wc -l)
    [ "$got" = $(($2 + 1)) ] || e2e_fail "$1: C:\\Galvery holds $got files, not $2 and the pack file"
    got=$(find "$E2E_C/Plain" -type f | wc -l)
    [ "$got" = $(($2 + 1)) ] || e2e_fail "$1: C:\\Plain holds $got files, not $2 and pack.zip"
    setup_run "$1"; us+=("$step")
    plain_run "$1"; up+=("$step")
    [ ! -e "$E2E_C/Galvery/~setup" ] || e2e_fail "$1: the upgrade left C:\\Galvery\\~setup behind"
    if [ -n "$before" ]; then
      rm -rf "$E2E_C/Galvery"
      setup_run "$1-before"; fb+=("$step")
      setup_run "$1-before"; ub+=("$step")
    fi
    echo "$E2E_ARCH $1: step: setup ${fs[-1]} s / ${us[-1]} s, plain ${fp[-1]} s / ${up[-1]} s (fresh / upgrade); whole fresh: setup ${fw[-1]} s, plain ${pw[-1]} s${before:+; before ${fb[-1]} s / ${ub[-1]} s}"
  done
  local bf=- bu=-
  [ -z "$before" ] || { bf=$(median "${fb[@]}"); bu=$(median "${ub[@]}"); }
  echo "$1 $E2E_ARCH $(median "${fs[@]}") $(median "${fp[@]}") $(median "${us[@]}") $(median "${up[@]}") $(median "${fw[@]}") $(median "${pw[@]}") $ps $pp $bf $bu" >> "$BENCH_RESULTS"
}

data=$E2E_WORK/data
mkdir -p "$data"
make_setup_tiny() { mkdir -p "$data/tiny"; printf 'Read me.\r\n' > "$data/tiny/readme.txt"; make_setup baseline "$data/tiny"; }
make_setup_tiny
measure baseline 1

for p in "$@"; do
  rm -rf "$data/$p"
  mkdir -p "$data/$p"
  count=$(bench_payload "$p" "$data/$p")
  make_setup "$p" "$data/$p"
  echo "$E2E_ARCH $p: setup file of $(( $(stat -c %s "$E2E_C/dl/$p/SetupGalvery.exe") / 1000000 )) MB, $(du -sm "$data/$p" | cut -f1) MiB in $count files"
  measure "$p" "$count"
  rm -rf "$data/$p" "$E2E_C/Galvery" "$E2E_C/Plain" "$E2E_C/dl/$p" "$E2E_C/dl/$p-before"
done
