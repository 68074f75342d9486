#!/usr/bin/env bash
# A user whose name the ANSI code page cannot spell: Пётр on a Western Windows (code page
# 1252), whose desktop is C:\users\Пётр\Desktop. Asked for the shortcut, the setup program
# finds that folder through the wide-character call and saves Galvery.lnk in it, pointing
# to c:\Galvery\Galvery.exe. Without a desktop folder to save in, the user is told so once
# ("Can't create the desktop shortcut Galvery.lnk") instead of hearing nothing.
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 USER=Пётр LOGNAME=Пётр
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_require_file "$E2E_LNK_PROBE" "the shortcut probe (lnk_probe.exe)" "$(e2e_build_hint)"
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

# Wine gives a new user a profile folder without a desktop; a real profile has one.
profile="$E2E_C/users/Пётр"
e2e_wine cmd /c rem
[ -d "$profile" ] || e2e_fail "Wine made no profile folder for the user Пётр in $E2E_C/users"
mkdir -p "$profile/Desktop"
e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_report report 'c:\Galvery\readme.txt'

install() {
  e2e_driver codepage 1252 \
    start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "$report" 1 \
    click 1 \
    "${E2E_SHORTCUT[@]}" \
    "$@"
}

install exit 0
[ -f "$profile/Desktop/Galvery.lnk" ] || e2e_fail "no Galvery.lnk in $profile/Desktop: $(ls -A "$profile/Desktop")"
# The probe takes an ANSI path, which cannot spell the folder: it reads the shortcut from there.
(cd "$profile/Desktop" && "$E2E_WINE" "$E2E_LNK_PROBE" Galvery.lnk) | tr -d '\r' > "$E2E_WORK/lnk.txt" ||
  e2e_fail "lnk_probe could not read the shortcut: $(cat "$E2E_WORK/lnk.txt")"
grep -qx 'path c:\\Galvery\\Galvery.exe' "$E2E_WORK/lnk.txt" && grep -qx 'description Galvery' "$E2E_WORK/lnk.txt" ||
  e2e_fail "the shortcut does not point to c:\\Galvery\\Galvery.exe: $(cat "$E2E_WORK/lnk.txt")"
[ -z "$(find "$E2E_C/users" "$HOME" -name 'Galvery.lnk' -not -path "$profile/Desktop/*")" ] ||
  e2e_fail "a shortcut landed elsewhere too"
echo "e2e: Galvery.lnk in C:\\users\\Пётр\\Desktop points to c:\\Galvery\\Galvery.exe"

# No desktop folder to save in: the user hears of it, once, and the setup still ends.
rm -rf "$profile/Desktop"
install msgbox SetupGalvery "Can't create the desktop shortcut Galvery.lnk" 1 click 1 no-window 2 exit 0
e2e_expect_listing 'C:\Galvery' readme.txt Galvery_pack.zip
