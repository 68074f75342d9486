#!/usr/bin/env bash
# A setup file whose data behind the marker is no ZIP archive: the pack file is written
# with exactly those bytes, cannot be opened as an archive, and the user gets the error,
# a report of no files, the advice to unpack the pack file by hand, and the shortcut
# question. No: no shortcut, exit code 0, and C:\Galvery holds the pack file alone.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

data="$E2E_WORK/not-a-zip"
for i in $(seq 1 200); do printf 'Line %d of a text that is no archive.\r\n' "$i"; done > "$data"
mkdir -p "$E2E_C/dl"
{ cat "$E2E_STUB"; printf 'UUUUUUUU'; cat "$data"; } > "$E2E_C/dl/SetupGalvery.exe"
e2e_report report
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "Error in unZIPping $E2E_PACK" 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  no-window 3 \
  exit 0

e2e_expect_listing 'C:\Galvery' Galvery_pack.zip
cmp "$data" "$E2E_C/Galvery/Galvery_pack.zip" >&2 || e2e_fail "the pack file is not the bytes behind the marker"
echo "e2e: the pack file holds the bytes behind the marker"
e2e_expect_no_shortcut
written=$(e2e_written_since_mark | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$E2E_C" "$E2E_C/Galvery" "$E2E_C/Galvery/Galvery_pack.zip" | sort | tr '\n' ' ')
[ "$written" = "$expected" ] || e2e_fail "written: $written; expected: $expected"
echo "e2e: nothing else written"
