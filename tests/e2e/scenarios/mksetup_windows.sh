#!/usr/bin/env bash
# The Windows packager (this build's tools/mksetup.exe, run under Wine) agrees with the
# Linux one. On the same stub and the same two files, one modified before
# SOURCE_DATE_EPOCH and one after it, both write SetupGalvery.exe byte for byte alike,
# and the Windows packager's verify accepts it; so do they from a folder (--add-dir), and
# for names beyond ASCII, in UTF-8 and in a code page. Its refusals end as the Linux ones do,
# with exit status 1 and nothing written: a name that selects no product, a stub without
# the marker, a damaged setup file to verify; a wrong command line ends with 2.
source "$(dirname "$0")/../wine_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
: "${E2E_MKSETUP_EXE:=$E2E_WIN_DIR/tools/mksetup.exe}"
e2e_require_file "$E2E_MKSETUP_EXE" "the Windows packager (mksetup.exe)" "$(e2e_build_hint)"
e2e_init

# The inputs live in C:\vendor; the Linux packager reads the same files by their Linux paths.
v="$E2E_C/vendor"
mkdir -p "$v" "$E2E_C/out" "$E2E_WORK/linux"
cp "$E2E_STUB" "$v/setup.exe"
for i in $(seq 1 3000); do echo "line $i of the program"; done > "$v/Galvery.EXE"
printf 'Galvery help\r\n' > "$v/Galvery.HLP"
epoch=1600000000
touch -d @1500000001 "$v/Galvery.EXE"
touch -d @1700000000 "$v/Galvery.HLP"
export SOURCE_DATE_EPOCH=$epoch

# both NAME STATUS ARGS...: runs the Linux packager with ARGS and the Windows one with the
# same ARGS in Windows spelling (every %V% replaced by the inputs' folder, %O% by the
# output's); both must end with STATUS. The transcripts go to NAME.linux and NAME.windows.
both() {
  local name="$1" want="$2" arg status
  shift 2
  local linux=() windows=() lv="$v/" lo="$E2E_WORK/linux/" wv='C:\vendor\' wo='C:\out\'
  for arg in "$@"; do
    arg=${arg//%V%/"$lv"}
    linux+=("${arg//%O%/"$lo"}")
  done
  for arg in "$@"; do
    arg=${arg//%V%/"$wv"}
    windows+=("${arg//%O%/"$wo"}")
  done
  status=0
  "$E2E_MKSETUP" "${linux[@]}" > "$E2E_WORK/$name.linux" 2>&1 || status=$?
  [ "$status" = "$want" ] || e2e_fail "Linux mksetup $*: exit status $status, not $want: $(cat "$E2E_WORK/$name.linux")"
  status=0
  e2e_wine "$E2E_MKSETUP_EXE" "${windows[@]}" > "$E2E_WORK/$name.windows" 2>&1 || status=$?
  [ "$status" = "$want" ] || e2e_fail "Windows mksetup $*: exit status $status, not $want: $(cat "$E2E_WORK/$name.windows")"
  echo "e2e: mksetup $1 ...: exit status $want on Linux and under Wine"
}

# expect_unwritten NAME: neither packager left NAME (nor a partial file) in its output folder.
expect_unwritten() {
  local left; left=$(find "$E2E_WORK/linux" "$E2E_C/out" -name "$1*" -print)
  [ -z "$left" ] || e2e_fail "a refused build wrote $left"
}

add=(--add 'd:/Galvery/RELEASE/Galvery.EXE=%V%Galvery.EXE' --add 'd:/Galvery/HLP/Galvery.HLP=%V%Galvery.HLP')
both build 0 build --stub %V%setup.exe --product Galvery --out %O%SetupGalvery.exe "${add[@]}"
linux_out="$E2E_WORK/linux/SetupGalvery.exe" windows_out="$E2E_C/out/SetupGalvery.exe"
cmp "$linux_out" "$windows_out" >&2 || e2e_fail "the two packagers wrote different setup files (above: the first difference)"
echo "e2e: both packagers wrote the same SetupGalvery.exe ($(stat -c %s "$windows_out") bytes)"

# A folder of files: both walk it alike and store the same names in the same order,
# a folder named outside the ANSI code page among them (the Windows one walks it wide).
d="$v/dist"
mkdir -p "$d/RELEASE" "$d/HLP" "$d/Ελλάδα"
cp "$v/Galvery.EXE" "$d/RELEASE/"; cp "$v/Galvery.HLP" "$d/HLP/"; cp "$v/Galvery.HLP" "$d/Ελλάδα/notes.txt"
touch -d @1500000001 "$d"/*/*
both dir 0 build --stub %V%setup.exe --product Galvery --out %O%SetupGalveryDir.exe --add-dir 'd:/Galvery=%V%dist'
cmp "$E2E_WORK/linux/SetupGalveryDir.exe" "$E2E_C/out/SetupGalveryDir.exe" >&2 ||
  e2e_fail "the two packagers wrote different setup files from one folder (above: the first difference)"
grep -q 'Galvery, 3 entries' "$E2E_WORK/dir.windows" || e2e_fail "the Windows packager's build: $(cat "$E2E_WORK/dir.windows")"
echo "e2e: both packagers wrote the same setup file from a folder"

# Names beyond ASCII: one given on the command line, for a file named so too (the Windows
# packager takes both from its wide command line), and the folder's. Both packagers store
# them in UTF-8 with bit 11, byte for byte alike; with --codepage 1253 both store the
# Greek code page's bytes, and code page 1252, which has no Greek, refuses the name on both.
cp "$v/Galvery.HLP" "$v/Οδηγός.txt"
touch -d @1500000001 "$v/Οδηγός.txt"
greek=(--add 'd:/Galvery/Ελλάδα/Οδηγός.txt=%V%Οδηγός.txt' --add-dir 'd:/Galvery=%V%dist')
# Wine reads the arguments it hands on in the locale's character set.
export LC_ALL=C.UTF-8
both greek 0 build --stub %V%setup.exe --product Galvery --out %O%SetupGalveryGreek.exe "${greek[@]}"
cmp "$E2E_WORK/linux/SetupGalveryGreek.exe" "$E2E_C/out/SetupGalveryGreek.exe" >&2 ||
  e2e_fail "the two packagers stored names beyond ASCII differently (above: the first difference)"
both greek-list 0 list %O%SetupGalveryGreek.exe
for name in 'd:/Galvery/Ελλάδα/Οδηγός.txt' 'd:/Galvery/Ελλάδα/notes.txt'; do
  grep -aEq "UTF-8 flag +$name"$'\r?$' "$E2E_WORK/greek-list.windows" ||
    e2e_fail "the Windows packager does not list $name as UTF-8: $(cat "$E2E_WORK/greek-list.windows")"
done
both greek-1253 0 build --stub %V%setup.exe --product Galvery --out %O%SetupGalveryGreek1253.exe --codepage 1253 "${greek[@]}"
cmp "$E2E_WORK/linux/SetupGalveryGreek1253.exe" "$E2E_C/out/SetupGalveryGreek1253.exe" >&2 ||
  e2e_fail "the two packagers stored names in code page 1253 differently (above: the first difference)"
grep -qaF "$(printf 'd:/Galvery/\xC5\xEB\xEB\xDC\xE4\xE1/\xCF\xE4\xE7\xE3\xFC\xF2.txt')" "$E2E_C/out/SetupGalveryGreek1253.exe" ||
  e2e_fail "the Windows packager did not store the name in code page 1253"
both greek-1252 1 build --stub %V%setup.exe --product Galvery --out %O%SetupGalveryGreek1252.exe --codepage 1252 "${greek[@]}"
expect_unwritten SetupGalveryGreek1252.exe
grep -q "code page 1252 has no character" "$E2E_WORK/greek-1252.windows" ||
  e2e_fail "no reason given: $(cat "$E2E_WORK/greek-1252.windows")"
unset LC_ALL
echo "e2e: both packagers stored the same names beyond ASCII, in UTF-8 and in code page 1253"

both verify 0 verify --product Galvery %O%SetupGalvery.exe
grep -q '^verified: 2 entries read whole' "$E2E_WORK/verify.windows" ||
  e2e_fail "the Windows packager's verify did not read both entries: $(cat "$E2E_WORK/verify.windows")"
echo "e2e: the Windows packager verifies it"

both no-product 1 build --stub %V%setup.exe --product Galvery --out %O%Setup.exe "${add[@]}"
expect_unwritten Setup.exe
grep -q "selects no product" "$E2E_WORK/no-product.windows" || e2e_fail "no reason given: $(cat "$E2E_WORK/no-product.windows")"
both no-marker 1 build --stub %V%Galvery.EXE --product Galvery --out %O%SetupGalvery2.exe "${add[@]}"
expect_unwritten SetupGalvery2.exe
grep -q "holds the marker 0 times" "$E2E_WORK/no-marker.windows" || e2e_fail "no reason given: $(cat "$E2E_WORK/no-marker.windows")"

# The setup file cut short in its archive: verify finds the defect on both.
head -c -100 "$windows_out" > "$E2E_C/out/SetupGalveryCut.exe"
cp "$E2E_C/out/SetupGalveryCut.exe" "$E2E_WORK/linux/"
both damaged 1 verify %O%SetupGalveryCut.exe
both usage 2 build --stub %V%setup.exe
