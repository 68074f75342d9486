#!/usr/bin/env bash
# The product keywords match whatever the case of the file name.
source "$(dirname "$0")/../wine_env.sh"
e2e_init

e2e_setup_file 'C:\dl\setupgalvery.exe'
e2e_driver start 'C:\dl\setupgalvery.exe' '"C:\dl\setupgalvery.exe"' \
  dialog 'Setup Galvery' \
  text 1000 'c:\Galvery' \
  click 2 \
  exit 0
