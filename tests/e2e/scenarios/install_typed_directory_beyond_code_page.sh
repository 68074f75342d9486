#!/usr/bin/env bash
# A Russian user on a Western system (code page 1252) types c:\Программы: the setup
# program reads the box as typed, creates that folder, writes the pack file and the
# files into it, reports them under it, and the desktop shortcut points into it. A typed
# c:\Down* is no folder that exists (the existence check matches no pattern, so it does
# not find c:\Downloads): "Can't create directory c:\Down*", the dialog stays open, and
# nothing is written.
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_require_file "$E2E_LNK_PROBE" "the shortcut probe (lnk_probe.exe)" "$(e2e_build_hint)"
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

e2e_setup_file 'C:\dl\SetupGalvery.exe'
mkdir -p "$E2E_C/Downloads"
e2e_mark
e2e_driver codepage 1252 \
  start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  type 1000 'c:\Down*' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery 'Can'"'"'t create directory c:\Down*' 1 \
  click 1 \
  dialog 'Setup Galvery' \
  click 2 \
  exit 0
e2e_expect_nothing_written
echo "e2e: c:\\Down* is no folder: said so, nothing written"

e2e_report report 'c:\Программы\readme.txt'
e2e_driver codepage 1252 \
  start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  type 1000 'c:\Программы' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  "${E2E_SHORTCUT[@]}" \
  exit 0
e2e_expect_listing 'C:\Программы' readme.txt Galvery_pack.zip
cmp "$E2E_WORK/payload/readme.txt" "$E2E_C/Программы/readme.txt" || e2e_fail "readme.txt is not the packed file"
[ ! -e "$E2E_C/?????????" ] || e2e_fail "a folder named with question marks was made"
user=$(id -un)
e2e_wine "$E2E_LNK_PROBE" "C:\\users\\$user\\Desktop\\Galvery.lnk" | tr -d '\r' > "$E2E_WORK/lnk.txt" ||
  e2e_fail "lnk_probe could not read the shortcut: $(cat "$E2E_WORK/lnk.txt")"
grep -qix 'widepath c:\\Программы\\Galvery.exe' "$E2E_WORK/lnk.txt" ||
  e2e_fail "the shortcut does not point into c:\\Программы: $(cat "$E2E_WORK/lnk.txt")"
echo "e2e: c:\\Программы made, installed into, reported and pointed to"
