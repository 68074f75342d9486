#!/usr/bin/env bash
# A Japanese Windows (ANSI code page 932), where the second byte of a character may be a
# backslash or a bar: ソ is 83 5C, 表 95 5C, 能 94 5C, ポ 83 7C. The vendor's names,
# d:/ソフト/表.txt, レポート.txt and ソフト\能力.txt, are stored in Shift-JIS, as older
# setup files have them: mksetup refuses them for code page 1252, which has no such
# characters, and told --codepage 932 builds the setup file with a warning for each. The
# user installs into the typed folder c:\ソフト: every file lands under its own name, the
# report lists exactly those files, and nothing else is written.
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
locale -a | grep -qix 'ja_JP.utf-\{0,1\}8' || e2e_fail "the ja_JP.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

# UTF-8 for mksetup's names, for the driver (Wine turns its command line into code page
# 932) and for the files Wine writes on the Linux side.
w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
printf 'table\r\n' > "$w/table.txt"
printf 'report\r\n' > "$w/report.txt"
printf 'ability\r\n' > "$w/ability.txt"
adds=(--add "d:/ソフト/表.txt=$w/table.txt" --add "レポート.txt=$w/report.txt" --add "ソフト\\能力.txt=$w/ability.txt")
setup="$E2E_C/dl/SetupGalvery.exe"

if "$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$setup" --codepage 1252 "${adds[@]}" \
  > "$w/western.txt" 2>&1; then
  e2e_fail "mksetup stored Japanese names in the Western code page: $(cat "$w/western.txt")"
fi
grep -q "code page 1252 has no character 'ソ' (U+30BD)" "$w/western.txt" ||
  e2e_fail "mksetup did not say why it refused: $(cat "$w/western.txt")"
[ ! -e "$setup" ] || e2e_fail "a refused build left $setup"
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$setup" --codepage 932 "${adds[@]}" \
  > "$w/build.txt" 2>&1 || e2e_fail "mksetup --codepage 932: $(cat "$w/build.txt")"
warnings=$(grep -c 'bytes of 0x80 or more in its name' "$w/build.txt" || true)
[ "$warnings" = 3 ] || e2e_fail "mksetup warned about $warnings names, not 3: $(cat "$w/build.txt")"
echo "e2e: mksetup refuses the names in code page 1252 and builds them in 932, warning about each"

e2e_report report 'c:\ソフト\表.txt' 'c:\ソフト\レポート.txt' 'c:\ソフト\能力.txt'
e2e_mark
e2e_driver codepage 932 \
  start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  type 1000 'c:\ソフト' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0

e2e_expect_listing 'C:\ソフト' 表.txt レポート.txt 能力.txt Galvery_pack.zip
cmp "$w/table.txt" "$E2E_C/ソフト/表.txt" && cmp "$w/report.txt" "$E2E_C/ソフト/レポート.txt" &&
  cmp "$w/ability.txt" "$E2E_C/ソフト/能力.txt" || e2e_fail "an installed file is not the one packed"
e2e_expect_no_shortcut
written=$(e2e_written_since_mark | grep -v "^$E2E_C/ソフト" | sort | tr '\n' ' ')
[ "$written" = "$E2E_C " ] || e2e_fail "written outside C:\\ソフト: $written"
echo "e2e: every file under its own name in C:\\ソフト, as the report lists them"
