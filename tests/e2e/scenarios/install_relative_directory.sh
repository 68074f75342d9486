#!/usr/bin/env bash
# The user types a relative folder, "inst", into a setup started from C:\dl. The folder is
# created as C:\dl\inst, the pack file written there and unpacked (before, the second
# change of directory left the relative pack file path pointing nowhere: "ZIP file
# inst\Galvery_pack.zip not found"); the report and the shortcut name the full path.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_require_file "$E2E_LNK_PROBE" "the shortcut probe (lnk_probe.exe)" "$(e2e_build_hint)"
e2e_init

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_report report 'C:\dl\inst\readme.txt'
e2e_mark
e2e_driver start-in 'C:\dl' 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  type 1000 inst \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  "${E2E_SHORTCUT[@]}" \
  no-window 2 \
  exit 0

e2e_expect_listing 'C:\dl\inst' readme.txt Galvery_pack.zip
cmp "$E2E_WORK/payload/readme.txt" "$E2E_C/dl/inst/readme.txt" || e2e_fail "C:\\dl\\inst\\readme.txt is not the packed file"
e2e_expect_absent 'C:\inst'
e2e_wine "$E2E_LNK_PROBE" "C:\\users\\$(id -un)\\Desktop\\Galvery.lnk" | tr -d '\r' > "$E2E_WORK/lnk.txt" ||
  e2e_fail "lnk_probe could not read the shortcut: $(cat "$E2E_WORK/lnk.txt")"
grep -qx 'path C:\\dl\\inst\\Galvery.exe' "$E2E_WORK/lnk.txt" ||
  e2e_fail "the shortcut does not point to C:\\dl\\inst\\Galvery.exe: $(cat "$E2E_WORK/lnk.txt")"
echo "e2e: installed into C:\\dl\\inst, and the report and the shortcut say so"
