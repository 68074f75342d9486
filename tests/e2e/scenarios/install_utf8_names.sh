#!/usr/bin/env bash
# Names as today's zip writers store them, on a Western system (code page 1252):
# - UTF-8 with general-purpose bit 11 (Python, .NET, 7-Zip beyond its OEM code page):
#   d:/Galvery/HLP/Größe.txt and Menü.hlp, which the code page holds, and Ελλάδα.txt,
#   which it does not;
# - an old writer's bytes (code page 437: \x9Anicode.txt) with an Info-ZIP Unicode Path
#   field beside them giving Ünicode.txt;
# - a name flagged as UTF-8 that is not UTF-8: refused for that entry, never guessed;
# - META-INF/ as jar writes it, without the folder attribute: a folder, no error.
# Every file lands under its true name; the report lists the true names (a wide message
# box); the bad entry is reported once and the advice follows.
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
printf 'size\r\n' > "$w/size.txt"
printf 'menu\r\n' > "$w/menu.txt"
printf 'greece\r\n' > "$w/greece.txt"
printf 'field\r\n' > "$w/field.txt"
: > "$w/none"
# unicode_path FILE NAME_BYTES UTF8: a Unicode Path field (0x7075, version 1) made for
# the stored NAME_BYTES, the whole name field.
unicode_path() {
  local crc; crc=$(printf '%b' "$2" > "$w/stored-name"; e2e_crc32 "$w/stored-name")
  { printf 'up'; e2e_le16 $((5 + $(printf '%s' "$3" | wc -c))); printf '\001'; e2e_le32 "$crc"; printf '%s' "$3"; } > "$1"
}
add() {  # add NAME FILE: stored, as the vendor's files are
  e2e_zip_add "$1" 0 "$2" "$(stat -c %s "$2")" "$(e2e_crc32 "$2")" 0x81A40020 "$w/none" "${3:-$w/none}"
}
e2e_zip_begin "$w/payload.zip"
E2E_ZIP_FLAGS=0x800 add 'd:/Galvery/HLP/Größe.txt' "$w/size.txt"
E2E_ZIP_FLAGS=0x800 add 'Menü.hlp' "$w/menu.txt"
E2E_ZIP_FLAGS=0x800 add 'Ελλάδα.txt' "$w/greece.txt"
unicode_path "$w/field.x" 'd:/docs/\x9anicode.txt' 'd:/docs/Ünicode.txt'
add "$(printf 'd:/docs/\x9anicode.txt')" "$w/field.txt" "$w/field.x"
E2E_ZIP_FLAGS=0x800 add "$(printf 'bad\xc0\xaf.txt')" "$w/size.txt"
E2E_ZIP_FLAGS=0 e2e_zip_add 'META-INF/' 0 "$w/none" 0 0 0 "$w/none" "$w/none"
e2e_zip_end
e2e_setup_of "$w/payload.zip" "$E2E_C/dl/SetupGalvery.exe"

e2e_report report 'c:\Galvery\Größe.txt' 'c:\Galvery\Menü.hlp' 'c:\Galvery\Ελλάδα.txt' 'c:\Galvery\Ünicode.txt' \
  'c:\Galvery\'
e2e_driver codepage 1252 \
  start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "Can't access component file #5." 1 \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  msgbox SetupGalvery "$E2E_ADVICE" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0

e2e_expect_listing 'C:\Galvery' Größe.txt Menü.hlp Ελλάδα.txt Ünicode.txt META-INF Galvery_pack.zip
g="$E2E_C/Galvery"
cmp "$w/size.txt" "$g/Größe.txt" && cmp "$w/menu.txt" "$g/Menü.hlp" && cmp "$w/greece.txt" "$g/Ελλάδα.txt" &&
  cmp "$w/field.txt" "$g/Ünicode.txt" || e2e_fail "an installed file is not the one packed"
[ -d "$g/META-INF" ] || e2e_fail "META-INF/ made no folder"
echo "e2e: every name as it is meant, the one not held by the code page too; the bad one refused"
