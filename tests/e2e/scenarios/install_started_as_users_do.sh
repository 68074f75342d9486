#!/usr/bin/env bash
# However a user starts it, the setup program reads its own file, found through its module
# path, and installs; the command line only picks the product:
# - typed at a command prompt without its extension: cmd.exe finds C:\dl\SetupGalvery.exe
#   and starts that image with the command line as typed, "SetupGalvery";
# - a file whose own name holds no keyword, started with the keyword as an argument:
#   "C:\dl\Setup.exe" GALVERY;
# - from Explorer in the Downloads folder of a user whose name the code page cannot spell
#   (Дмитрий on a Western system, code page 1252), where the ANSI command line and module
#   name read C:\users\???????\Downloads\...
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 USER=Дмитрий LOGNAME=Дмитрий
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

e2e_report report 'c:\Galvery\readme.txt'
# install TITLE START-STEP APP CMDLINE: the whole installation, No to the shortcut. The
# message boxes bear the title: the program file's name without its extension.
install() {
  rm -rf "$E2E_C/Galvery"
  e2e_driver codepage 1252 \
    "$2" "$3" "$4" \
    "${E2E_ACCEPT[@]}" \
    msgbox "$1" "$report" 1 \
    click 1 \
    msgbox "$1" "$E2E_SHORTCUT_QUESTION" 6,7 \
    click 7 \
    no-window 1 \
    exit 0
  e2e_expect_listing 'C:\Galvery' readme.txt Galvery_pack.zip
  cmp "$E2E_WORK/payload/readme.txt" "$E2E_C/Galvery/readme.txt" || e2e_fail "readme.txt is not the packed file"
}

e2e_setup_file 'C:\dl\SetupGalvery.exe'
install SetupGalvery start 'C:\dl\SetupGalvery.exe' 'SetupGalvery'
echo "e2e: typed without its extension, it installed"

e2e_setup_file 'C:\dl\Setup.exe'
install Setup start 'C:\dl\Setup.exe' '"C:\dl\Setup.exe" GALVERY'
echo "e2e: with the keyword as an argument, it installed"

profile="$E2E_C/users/Дмитрий"
e2e_wine cmd /c rem
[ -d "$profile" ] || e2e_fail "Wine made no profile folder for the user Дмитрий in $E2E_C/users"
mkdir -p "$profile/Downloads"
cp "$E2E_C/dl/SetupGalvery.exe" "$profile/Downloads/SetupGalvery.exe"
install SetupGalvery start-wide 'C:\users\Дмитрий\Downloads\SetupGalvery.exe' '"C:\users\Дмитрий\Downloads\SetupGalvery.exe"'
echo "e2e: from C:\\users\\Дмитрий\\Downloads, it installed"
