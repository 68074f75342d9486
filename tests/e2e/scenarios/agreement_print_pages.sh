#!/usr/bin/env bash
# On a page too small for the whole agreement (a Monarch envelope, 279 x 540 points, at
# 300 dpi) the printed agreement runs over two pages, each line where the layout puts it
# and the first page as full as the page limit allows.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../agreement_env.sh"
source "$(dirname "$0")/../cups_env.sh"
e2e_init
e2e_cups_start EnvMonarch

check() {
  local pdf layout
  pdf=$(e2e_wait_pdfs 1)
  e2e_expect_printed_agreement "$pdf"
  layout=$(e2e_expect_agreement_layout "$pdf" 300)
  [[ "$layout" == "2 "* ]] || e2e_fail "$pdf: expected two pages, got (pages, lines per page) $layout"
}

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1017 \
  checkpoint "$(e2e_checkpoint printed)" \
  click 2 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  click 2 \
  exit 0
e2e_at_checkpoint printed check
e2e_driver_wait
