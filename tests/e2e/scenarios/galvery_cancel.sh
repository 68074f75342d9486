#!/usr/bin/env bash
# SetupGalvery.exe started by its quoted path: the Galvery dialog with its default
# directory and OK/Save focused, its big and small icons set; Cancel ends it with exit
# code 0 and writes nothing.
source "$(dirname "$0")/../wine_env.sh"
e2e_init

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  text 1000 'c:\Galvery' \
  focus 1 \
  window-icons \
  click 2 \
  exit 0
e2e_expect_absent 'C:\Galvery'
e2e_expect_nothing_written
