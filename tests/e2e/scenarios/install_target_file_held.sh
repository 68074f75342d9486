#!/usr/bin/env bash
# Another program holds C:\Galvery\Galvery.HLP open without sharing while the product is
# installed over an earlier copy. That one file cannot be written: "Error 32 in creating
# file c:\Galvery\Galvery.HLP", then "Error unzipping Galvery.HLP."; the other entries are
# unpacked, the report lists them and not Galvery.HLP, the advice and the shortcut
# question follow, and the held file keeps its old contents.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl" "$E2E_C/Galvery"
printf 'MZ the program\r\n' > "$w/Galvery.EXE"
printf 'the new help\r\n' > "$w/Galvery.HLP"
printf 'Read me.\r\n' > "$w/readme.txt"
e2e_make_zip "$w/payload.zip" "$w/Galvery.EXE" "$w/Galvery.HLP" "$w/readme.txt"
e2e_make_setup "$E2E_C/dl/SetupGalvery.exe" "$w/payload.zip"
printf 'the old help\r\n' > "$E2E_C/Galvery/Galvery.HLP"

e2e_report report 'c:\Galvery\Galvery.EXE' 'c:\Galvery\readme.txt'
e2e_driver hold 'C:\Galvery\Galvery.HLP' 60 \
  start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery 'Error 32 in creating file c:\Galvery\Galvery.HLP' 1 \
  click 1 \
  msgbox SetupGalvery 'Error unzipping Galvery.HLP.' 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0

e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery.HLP readme.txt Galvery_pack.zip
cmp "$w/Galvery.EXE" "$E2E_C/Galvery/Galvery.EXE" && cmp "$w/readme.txt" "$E2E_C/Galvery/readme.txt" ||
  e2e_fail "an entry that could be written is not the packed file"
[ "$(cat "$E2E_C/Galvery/Galvery.HLP")" = $'the old help\r' ] || e2e_fail "the held Galvery.HLP was changed"
echo "e2e: the held file was reported and left alone, the others unpacked"
