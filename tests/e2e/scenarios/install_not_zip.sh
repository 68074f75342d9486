#!/usr/bin/env bash
# A setup file whose data behind the marker is no ZIP archive: it is refused before
# anything is written, with the one message for a setup file that is not whole; no
# folder, no pack file, no question, exit code 0.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

data="$E2E_WORK/not-a-zip"
for i in $(seq 1 200); do printf 'Line %d of a text that is no archive.\r\n' "$i"; done > "$data"
mkdir -p "$E2E_C/dl"
{ cat "$E2E_STUB"; printf 'UUUUUUUU'; cat "$data"; } > "$E2E_C/dl/SetupGalvery.exe"
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "$E2E_DAMAGED" 1 \
  click 1 \
  no-window 3 \
  exit 0

e2e_expect_absent 'C:\Galvery'
e2e_expect_no_shortcut
e2e_expect_nothing_written
