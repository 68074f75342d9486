#!/usr/bin/env bash
# Central directories that end short of the count their end record gives. First an end
# record that claims 60,000 entries over a directory of three: the three are unpacked,
# then one message, "Can't access component file #4.", the report of the three, the
# advice to unpack by hand and the shortcut question (No). Then a bit flipped in the
# signature of the third of six central records: the two before it are unpacked, one
# "Can't access component file #3.", the report of the two, the advice and the question.
# Each time the run ends by itself within the driver's waits: one message box per
# missing entry (59,997 of them) would stand in the way of the report.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/archive"
mkdir -p "$w" "$E2E_C/dl"
names=(Galvery.EXE Galvery.HLP readme.txt notes.txt license.txt order.txt)
for n in "${names[@]}"; do
  for i in $(seq 1 50); do echo "line $i of $n"; done > "$w/$n"
done

# install SETUP_ZIP MISSING LISTED...: installs into c:\Galvery, a fresh folder, and
# expects the one message for entry #MISSING, then the report listing LISTED.
install() {
  local zip=$1 missing=$2 start
  shift 2
  rm -rf "$E2E_C/Galvery"
  e2e_setup_of "$zip" "$E2E_C/dl/SetupGalvery.exe"
  local listed=() n
  for n in "$@"; do listed+=("c:\\Galvery\\$n"); done
  e2e_report report "${listed[@]}"
  start=$(e2e_now)
  e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "Can't access component file #$missing." 1 \
    click 1 \
    msgbox SetupGalvery "$report" 1 \
    click 1 \
    msgbox SetupGalvery "$E2E_ADVICE" 1 \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
  echo "e2e: installed in $(e2e_since "$start"), one message for the damage"
  e2e_expect_listing 'C:\Galvery' "$@" Galvery_pack.zip
  for n in "$@"; do cmp "$w/$n" "$E2E_C/Galvery/$n" >&2 || e2e_fail "C:\\Galvery\\$n is not the packed file"; done
  echo "e2e: the readable entries are whole"
}

e2e_zip_begin "$w/claims.zip"
for n in "${names[@]:0:3}"; do e2e_zip_entry "d:/Galvery/$n" 0 "$w/$n" "$(stat -c %s "$w/$n")" "$(e2e_crc32 "$w/$n")" 0x81A40020; done
e2e_zip_end 60000
install "$w/claims.zip" 4 Galvery.EXE Galvery.HLP readme.txt

e2e_zip_begin "$w/flipped.zip"
for n in "${names[@]}"; do e2e_zip_entry "d:/Galvery/$n" 0 "$w/$n" "$(stat -c %s "$w/$n")" "$(e2e_crc32 "$w/$n")" 0x81A40020; done
e2e_zip_end
# The third central header signature, PK 1 2: its "1" becomes 0x11.
third=$(grep -obUaP 'PK\x01\x02' "$w/flipped.zip" | sed -n 3p | cut -d: -f1)
[ -n "$third" ] || e2e_fail "no third central record in $w/flipped.zip"
printf '\021' | dd of="$w/flipped.zip" bs=1 seek=$((third + 2)) conv=notrunc status=none
install "$w/flipped.zip" 3 Galvery.EXE Galvery.HLP
