#!/usr/bin/env bash
# C:\dl\Setup.exe names no product: a message box captioned with the file's base name
# shows the command line; after OK the program ends and the setup dialog never shows.
source "$(dirname "$0")/../wine_env.sh"
e2e_init

e2e_setup_file 'C:\dl\Setup.exe'
e2e_mark
e2e_driver start 'C:\dl\Setup.exe' 'C:\dl\Setup.exe' \
  msgbox 'Setup' 'Invalid setup file name:C:\dl\Setup.exe' 1 \
  click 1 \
  no-window 2 \
  exit 0
e2e_expect_nothing_written
