#!/usr/bin/env bash
# One setup file, built by mksetup from names given on the command line in UTF-8
# (d:/Galvery/HLP/Größe.txt, 表.txt, Ελλάδα.txt, レポート.txt): it stores them as UTF-8
# with bit 11, and they install under the same names on a Western system (code page 1252)
# and on a Japanese one (932), whichever of them each code page can hold. The report
# names them truly on both.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
for want in en_US ja_JP; do
  locale -a | grep -qix "$want.utf-\{0,1\}8" || e2e_fail "the $want.UTF-8 locale is missing: run scripts/bootstrap.sh"
done
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
names=(Größe.txt 表.txt Ελλάδα.txt レポート.txt)
adds=()
for n in "${names[@]}"; do
  printf '%s\r\n' "$n" > "$w/$n"
  adds+=(--add "d:/Galvery/HLP/$n=$w/$n")
done
setup="$E2E_C/dl/SetupGalvery.exe"
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$setup" "${adds[@]}" > "$w/build.txt" 2>&1 ||
  e2e_fail "mksetup build: $(cat "$w/build.txt")"
! grep -q 'warning' "$w/build.txt" || e2e_fail "mksetup warned about names that depend on no code page: $(cat "$w/build.txt")"
"$E2E_MKSETUP" list "$setup" > "$w/list.txt"
[ "$(grep -c 'UTF-8 flag' "$w/list.txt")" = 4 ] || e2e_fail "not every name is stored with the UTF-8 flag: $(cat "$w/list.txt")"

e2e_report report 'c:\Galvery\Größe.txt' 'c:\Galvery\表.txt' 'c:\Galvery\Ελλάδα.txt' 'c:\Galvery\レポート.txt'
# install LOCALE CODEPAGE: the whole installation with Wine's code page from LOCALE.
install() {
  rm -rf "$E2E_C/Galvery"
  LC_ALL=$1 LANG=$1 e2e_driver codepage "$2" \
    start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "$report" 1 \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
  e2e_expect_listing 'C:\Galvery' "${names[@]}" Galvery_pack.zip
  for n in "${names[@]}"; do
    cmp "$w/$n" "$E2E_C/Galvery/$n" || e2e_fail "$n is not the packed file"
  done
  echo "e2e: code page $2: every name as given"
}
install en_US.UTF-8 1252
install ja_JP.UTF-8 932
