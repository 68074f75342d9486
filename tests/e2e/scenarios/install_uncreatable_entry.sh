#!/usr/bin/env bash
# Entries whose names end in a slash are folders, with the directory attribute or
# without it. "docs/" is made inside C:\Galvery and the report lists the directory with
# a bare backslash. "d:/Galvery/HLP/" would lie outside it (a drive letter): it is not
# made, and "Error unzipping ." says so for the empty base name. The entry behind them is
# still unpacked; the advice and the shortcut question (No) follow.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/archive"
mkdir -p "$w" "$E2E_C/dl"
: > "$w/empty"
for i in $(seq 1 500); do echo "line $i of the program"; done > "$w/exe"
e2e_deflate "$w/exe" "$w/exe.deflated"
e2e_zip_begin "$w/archive.zip"
# 0x41ED0010: a Unix directory (drwxr-xr-x) and the DOS directory bit; 0x81A40020: a
# Unix file (-rw-r--r--) with the DOS archive bit.
e2e_zip_entry docs/ 0 "$w/empty" 0 0 0x41ED0010
e2e_zip_entry d:/Galvery/HLP/ 0 "$w/empty" 0 0 0x81A40020
e2e_zip_entry d:/Galvery/RELEASE/Galvery.EXE 8 "$w/exe.deflated" "$(stat -c %s "$w/exe")" "$(e2e_crc32 "$w/exe")" 0x81A40020
e2e_zip_end
e2e_setup_of "$w/archive.zip" "$E2E_C/dl/SetupGalvery.exe"

e2e_report report 'c:\Galvery\' 'c:\Galvery\Galvery.EXE'
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery 'Error unzipping .' 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  no-window 3 \
  exit 0

e2e_expect_listing 'C:\Galvery' docs Galvery.EXE Galvery_pack.zip
[ -d "$E2E_C/Galvery/docs" ] || e2e_fail "C:\\Galvery\\docs is no directory"
cmp "$w/exe" "$E2E_C/Galvery/Galvery.EXE" >&2 || e2e_fail "C:\\Galvery\\Galvery.EXE is not the last entry's content"
echo "e2e: docs is a folder and Galvery.EXE is whole"
e2e_expect_no_shortcut
