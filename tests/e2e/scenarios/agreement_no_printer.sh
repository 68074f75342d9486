#!/usr/bin/env bash
# With no default printer, "Print" does nothing that shows: no window, no message, no
# file; the agreement stays as it was and its buttons still work.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../agreement_env.sh"
source "$(dirname "$0")/../cups_env.sh"
e2e_init
e2e_no_printer

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1017 \
  no-window 2 \
  text 1016 "$E2E_AGREEMENT_TEXT" \
  click 1017 \
  no-window 1 \
  click 2 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  click 2 \
  exit 0
e2e_expect_nothing_written
