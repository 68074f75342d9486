#!/usr/bin/env bash
# An archive whose second entry's data breaks off: its deflate stream holds one intact
# stored block of 20000 bytes, then a block header of the reserved type 3, which no
# inflater accepts, while the headers claim 30000 bytes. The first entry is unpacked and
# listed; the second gives "Error unzipping Galvery.HLP."; the report lists the first
# alone; then the advice to unpack by hand and the shortcut question, answered Yes.
# Left on disk: Galvery.EXE whole with the archive's write time, the pack file, the
# shortcut, and no Galvery.HLP at all: neither cut short nor under a temporary name.
# Then the update: version 1, whole, is installed over it, and the damaged setup file
# once more: the same messages, and Galvery.HLP is still version 1's, byte for byte and
# with its time, while Galvery.EXE is the new one.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/archive"
mkdir -p "$w" "$E2E_C/dl"
for i in $(seq 1 4000); do echo "line $i of the program"; done > "$w/exe"
# Cut from a file, not a pipe: head ending early would stop the loop with SIGPIPE.
for i in $(seq 1 2000); do printf 'Help line %d.\r\n' "$i"; done > "$w/hlp.long"
head -c 30000 "$w/hlp.long" > "$w/hlp"
[ "$(stat -c %s "$w/hlp")" = 30000 ] || e2e_fail "the help text is not 30000 bytes long"
e2e_deflate "$w/exe" "$w/exe.deflated"
# A stored block, not final (header byte 0), LEN 20000 and its complement, the data;
# then 0x07: a final block of type 3.
{
  printf '\000'; e2e_le16 20000; e2e_le16 $((0xFFFF - 20000))
  head -c 20000 "$w/hlp"
  printf '\007'
} > "$w/hlp.broken"
stamp=1500000001
e2e_zip_begin "$w/archive.zip"
e2e_zip_entry d:/Galvery/RELEASE/Galvery.EXE 8 "$w/exe.deflated" "$(stat -c %s "$w/exe")" "$(e2e_crc32 "$w/exe")" 0x81A40020 $stamp
e2e_zip_entry d:/Galvery/HLP/Galvery.HLP 8 "$w/hlp.broken" 30000 "$(e2e_crc32 "$w/hlp")" 0x81A40020 $stamp
e2e_zip_end
e2e_setup_of "$w/archive.zip" "$E2E_C/dl/SetupGalvery.exe"

e2e_report report 'c:\Galvery\Galvery.EXE'
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery 'Error unzipping Galvery.HLP.' 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_SHORTCUT[@]}" \
  no-window 3 \
  exit 0

e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery_pack.zip
g="$E2E_C/Galvery"
cmp "$w/exe" "$g/Galvery.EXE" >&2 || e2e_fail "C:\\Galvery\\Galvery.EXE is not the first entry's content"
[ "$(stat -c %.9Y "$g/Galvery.EXE")" = "$stamp.000000000" ] ||
  e2e_fail "C:\\Galvery\\Galvery.EXE was last written at $(stat -c %.9Y "$g/Galvery.EXE"), not at the archive's $stamp"
echo "e2e: Galvery.EXE is whole, with the archive's write time; no part of Galvery.HLP is left"
cmp "$w/archive.zip" "$g/Galvery_pack.zip" >&2 || e2e_fail "the pack file is not the archive inside the setup file"
echo "e2e: the pack file is the archive"
[ -f "$(e2e_desktop)/Galvery.lnk" ] || e2e_fail "no Galvery.lnk on the desktop"
echo "e2e: Galvery.lnk is on the desktop"

# Version 1, whole and older, installed first.
for i in $(seq 1 3000); do echo "line $i of version 1"; done > "$w/exe1"
for i in $(seq 1 2500); do printf 'Version 1 help line %d.\r\n' "$i"; done > "$w/hlp1"
e2e_deflate "$w/exe1" "$w/exe1.deflated"
e2e_deflate "$w/hlp1" "$w/hlp1.deflated"
stamp1=1400000001
e2e_zip_begin "$w/version1.zip"
e2e_zip_entry d:/Galvery/RELEASE/Galvery.EXE 8 "$w/exe1.deflated" "$(stat -c %s "$w/exe1")" "$(e2e_crc32 "$w/exe1")" 0x81A40020 $stamp1
e2e_zip_entry d:/Galvery/HLP/Galvery.HLP 8 "$w/hlp1.deflated" "$(stat -c %s "$w/hlp1")" "$(e2e_crc32 "$w/hlp1")" 0x81A40020 $stamp1
e2e_zip_end
cp "$E2E_C/dl/SetupGalvery.exe" "$w/SetupGalvery.damaged"
e2e_setup_of "$w/version1.zip" "$E2E_C/dl/SetupGalvery.exe"
e2e_report report1 'c:\Galvery\Galvery.EXE' 'c:\Galvery\Galvery.HLP'
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "$report1" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
cmp "$w/hlp1" "$g/Galvery.HLP" >&2 || e2e_fail "version 1's Galvery.HLP was not installed"

cp "$w/SetupGalvery.damaged" "$E2E_C/dl/SetupGalvery.exe"

e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery 'Error unzipping Galvery.HLP.' 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery.HLP Galvery_pack.zip
cmp "$w/exe" "$g/Galvery.EXE" >&2 || e2e_fail "C:\\Galvery\\Galvery.EXE is not the update's"
cmp "$w/hlp1" "$g/Galvery.HLP" >&2 || e2e_fail "C:\\Galvery\\Galvery.HLP is no longer version 1's"
[ "$(stat -c %Y "$g/Galvery.HLP")" = "$stamp1" ] || e2e_fail "C:\\Galvery\\Galvery.HLP lost version 1's time"
echo "e2e: over version 1, Galvery.HLP stays version 1's, byte for byte and with its time"
