#!/usr/bin/env bash
# Names as Windows' own archivers store them, on a Western system (ANSI code page 1252,
# OEM code page 437): 7-Zip, Explorer's compressed folders and Info-ZIP zip on Windows
# write a name their OEM code page holds in its bytes, without the UTF-8 flag, under a
# DOS (FAT) or NTFS host. Ölfässer.txt from a DOS host and Résumé.txt from an NTFS host
# install under those names, not as ™lf„sser.txt and R‚sum‚.txt; a Unix host's bytes are
# still read in the ANSI code page (Größe.txt); and a setup file mksetup builds with
# --codepage 1252 from a non-ASCII name installs as before.
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs mksetup: build the native preset"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
printf 'oil\r\n' > "$w/oil.txt"
printf 'cv\r\n' > "$w/cv.txt"
printf 'size\r\n' > "$w/size.txt"
: > "$w/none"
add() {  # add NAME FILE: stored
  e2e_zip_add "$1" 0 "$2" "$(stat -c %s "$2")" "$(e2e_crc32 "$2")" 0x20 "$w/none" "$w/none"
}
e2e_zip_begin "$w/payload.zip"
E2E_ZIP_MADE_BY=0x0014 add "$(printf 'Daten\\\x99lf\x84sser.txt')" "$w/oil.txt"
E2E_ZIP_MADE_BY=0x0A3F add "$(printf 'R\x82sum\x82.txt')" "$w/cv.txt"
add "$(printf 'd:/Gr\xf6\xdfe.txt')" "$w/size.txt"
e2e_zip_end
e2e_setup_of "$w/payload.zip" "$E2E_C/dl/SetupGalvery.exe"

e2e_report report 'c:\Galvery\Ölfässer.txt' 'c:\Galvery\Résumé.txt' 'c:\Galvery\Größe.txt'
run_setup() {
  e2e_driver codepage 1252 \
    start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "$report" 1 \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
}
run_setup
e2e_expect_listing 'C:\Galvery' Ölfässer.txt Résumé.txt Größe.txt Galvery_pack.zip
g="$E2E_C/Galvery"
cmp "$w/oil.txt" "$g/Ölfässer.txt" && cmp "$w/cv.txt" "$g/Résumé.txt" && cmp "$w/size.txt" "$g/Größe.txt" ||
  e2e_fail "an installed file is not the one packed"
echo "e2e: the OEM names of a DOS and an NTFS host install under their true names, a Unix host's ANSI name as before"

# mksetup's names: a Unix host, the ANSI code page given.
rm -rf "$g"
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$E2E_C/dl/SetupGalvery.exe" --codepage 1252 \
  --add "d:/Galvery/Menü.hlp=$w/size.txt" > "$w/mksetup.txt" 2>&1 || e2e_fail "mksetup failed: $(cat "$w/mksetup.txt")"
e2e_report report 'c:\Galvery\Menü.hlp'
run_setup
e2e_expect_listing 'C:\Galvery' Menü.hlp Galvery_pack.zip
cmp "$w/size.txt" "$g/Menü.hlp" || e2e_fail "Menü.hlp is not the packed file"
echo "e2e: mksetup's --codepage 1252 name installs as before"
