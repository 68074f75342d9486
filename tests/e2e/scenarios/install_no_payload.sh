#!/usr/bin/env bash
# A setup file that is the setup program alone, nothing behind it: after OK/Save and
# "I accept", the program says there is no setup data, that the pack file is not found,
# reports no unpacked files and sends the user to the vendor. No shortcut question;
# exit code 0; C:\Galvery was created and stays empty, and nothing else is written.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

mkdir -p "$E2E_C/dl"
cp "$E2E_STUB" "$E2E_C/dl/SetupGalvery.exe"
e2e_report report
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery 'No embedded setup data found.' 1 \
  click 1 \
  msgbox SetupGalvery "ZIP file $E2E_PACK not found" 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_VENDOR_CONTACT" 1 \
  click 1 \
  no-window 3 \
  exit 0

e2e_expect_listing 'C:\Galvery'
e2e_expect_no_shortcut
written=$(e2e_written_since_mark | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$E2E_C" "$E2E_C/Galvery" | sort | tr '\n' ' ')
[ "$written" = "$expected" ] || e2e_fail "written: $written; expected: $expected"
echo "e2e: nothing else written"
