#!/usr/bin/env bash
# C:\ZOV\Setup.exe: the file name names no product, but the folder does, and the whole
# command line counts.
source "$(dirname "$0")/../wine_env.sh"
e2e_init

e2e_setup_file 'C:\ZOV\Setup.exe'
e2e_driver start 'C:\ZOV\Setup.exe' 'C:\ZOV\Setup.exe' \
  dialog 'Setup ZOV' \
  text 1000 'c:\ZOV' \
  click 2 \
  exit 0
