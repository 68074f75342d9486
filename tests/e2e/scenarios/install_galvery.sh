#!/usr/bin/env bash
# The whole installation of the sample product: SetupGalvery.exe, made by mksetup from
# the sample Galvery.EXE and Galvery.HLP, started from C:\dl. The setup dialog has its big
# and small icons; OK/Save, "I accept", the report of both files, Yes to the shortcut
# question (both boxes show the exclamation icon, given none), exit code 0; no other
# window shows between "I accept" and the report, since an installation this short is
# over before its progress window would show. Then
# C:\Galvery holds the two files with the archive's bytes and write times and the pack
# file, which is the archive inside the setup file byte for byte; the desktop holds
# Galvery.lnk, read back through the shell, pointing to c:\Galvery\Galvery.exe with the
# description Galvery and nothing else set; nothing else was written; and the program the
# shortcut names runs.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
e2e_require_file "$E2E_SAMPLE_DIR/Galvery.exe" "the sample product" "$(e2e_build_hint)"
e2e_require_file "$E2E_SAMPLE_DIR/Galvery.HLP" "the sample help file" "$(e2e_build_hint)"
e2e_require_file "$E2E_LNK_PROBE" "the shortcut probe (lnk_probe.exe)" "$(e2e_build_hint)"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
cp "$E2E_SAMPLE_DIR/Galvery.exe" "$w/Galvery.EXE"
cp "$E2E_SAMPLE_DIR/Galvery.HLP" "$w/Galvery.HLP"
# An odd second: the "UT" time keeps it, the two-second DOS stamp cannot, so a file
# dated from the DOS stamp shows.
stamp=1500000001
touch -d "@$stamp" "$w/Galvery.EXE" "$w/Galvery.HLP"
setup="$E2E_C/dl/SetupGalvery.exe"
env -u SOURCE_DATE_EPOCH "$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$setup" \
  --add d:/Galvery/RELEASE/Galvery.EXE="$w/Galvery.EXE" --add d:/Galvery/HLP/Galvery.HLP="$w/Galvery.HLP" \
  > "$w/build.txt" 2>&1 || e2e_fail "mksetup build: $(cat "$w/build.txt")"
e2e_archive_of "$setup" "$w/archive.zip"
e2e_zip_entries "$w/archive.zip" > "$w/entries.txt"
cat "$w/entries.txt"
# What the archive stores is what the files must get: each entry's "UT" write time.
exe_time=$(awk '$6 == "d:/Galvery/RELEASE/Galvery.EXE" { print $5 }' "$w/entries.txt")
hlp_time=$(awk '$6 == "d:/Galvery/HLP/Galvery.HLP" { print $5 }' "$w/entries.txt")
[ "$exe_time $hlp_time" = "$stamp $stamp" ] ||
  e2e_fail "the archive stores the write times $exe_time and $hlp_time, not $stamp (see $w/entries.txt)"

e2e_report report 'c:\Galvery\Galvery.EXE' 'c:\Galvery\Galvery.HLP'
e2e_mark
start=$(e2e_now)
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  window-icons \
  text 1000 'c:\Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  msgbox-icon exclamation \
  no-window 0 \
  click 1 \
  msgbox SetupGalvery "$E2E_SHORTCUT_QUESTION" 6,7 \
  msgbox-icon exclamation \
  click 6 \
  no-window 3 \
  exit 0
echo "e2e: installed in $(e2e_since "$start")"

e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery.HLP Galvery_pack.zip
for f in Galvery.EXE Galvery.HLP; do
  cmp "$w/$f" "$E2E_C/Galvery/$f" >&2 || e2e_fail "C:\\Galvery\\$f is not the file that was packed"
  got=$(stat -c %.9Y "$E2E_C/Galvery/$f")
  [ "$got" = "$stamp.000000000" ] || e2e_fail "C:\\Galvery\\$f was last written at $got, not at the archive's $stamp"
done
echo "e2e: Galvery.EXE and Galvery.HLP have the packed bytes and the archive's write time"
cmp "$w/archive.zip" "$E2E_C/Galvery/Galvery_pack.zip" >&2 ||
  e2e_fail "the pack file is not the archive inside the setup file"
echo "e2e: Galvery_pack.zip is the archive inside the setup file ($(stat -c %s "$w/archive.zip") bytes)"

desktop=$(e2e_desktop)
[ -f "$desktop/Galvery.lnk" ] || e2e_fail "no Galvery.lnk on the desktop ($desktop)"
# Only the installation's own traces: the unpacked files carry the archive's older times.
written=$(e2e_written_since_mark | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$E2E_C" "$E2E_C/Galvery" "$E2E_C/Galvery/Galvery_pack.zip" \
  "$desktop" "$desktop/Galvery.lnk" | sort | tr '\n' ' ')
[ "$written" = "$expected" ] || e2e_fail "written: $written; expected: $expected"
echo "e2e: nothing else written"

user=$(id -un)
e2e_wine "$E2E_LNK_PROBE" "C:\\users\\$user\\Desktop\\Galvery.lnk" | tr -d '\r' > "$w/lnk.txt" ||
  e2e_fail "lnk_probe could not read the shortcut: $(cat "$w/lnk.txt")"
cat "$w/lnk.txt"
# Set: the target and the description; left alone: all the rest (1 is the default show
# command, SW_SHOWNORMAL).
printf '%s\n' 'path c:\Galvery\Galvery.exe' 'rawpath c:\Galvery\Galvery.exe' 'widepath C:\Galvery\Galvery.exe' \
  'description Galvery' \
  'arguments ' 'workdir ' 'icon  0' 'hotkey 0' 'showcmd 1' > "$w/lnk.expected"
diff "$w/lnk.expected" "$w/lnk.txt" >&2 || e2e_fail "the shortcut is not as expected (above: - expected, + read)"
echo "e2e: Galvery.lnk points to c:\\Galvery\\Galvery.exe, described as Galvery"

# The program the shortcut names runs from where it was installed.
target=$(sed -n 's/^path //p' "$w/lnk.txt")
e2e_driver start "$target" "\"$target\"" \
  msgbox Galvery $'Galvery is installed and running from\nc:\\Galvery\\Galvery.EXE' 1 \
  click 1 \
  exit 0
