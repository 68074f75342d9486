#!/usr/bin/env bash
# A virus scanner opens the freshly started setup file without sharing and lets it go a
# moment later. Held for 1.5 s when the setup program comes to read its own file, the
# open is tried again until it succeeds and the installation goes on as usual; held for
# 4 s, longer than the program waits (about 2 s), the sharing violation is reported as
# it is: "Can't open file C:\dl\SetupGalvery.exe. Last error 32", and the setup ends
# before it writes anything.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_report report 'c:\Galvery\readme.txt'
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  hold 'C:\dl\SetupGalvery.exe' 1.5 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
e2e_expect_listing 'C:\Galvery' readme.txt Galvery_pack.zip
cmp "$E2E_WORK/payload/readme.txt" "$E2E_C/Galvery/readme.txt" || e2e_fail "C:\\Galvery\\readme.txt is not the packed file"
echo "e2e: held for 1.5 s, the setup file was read once it was let go"

rm -rf "$E2E_C/Galvery"
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  hold 'C:\dl\SetupGalvery.exe' 4 \
  click 1 \
  msgbox SetupGalvery 'Can'"'"'t open file C:\dl\SetupGalvery.exe. Last error 32' 1 \
  click 1 \
  no-window 1 \
  exit 0
e2e_expect_absent 'C:\Galvery'
echo "e2e: held for longer, the sharing violation was reported before anything was written"
