#!/usr/bin/env bash
# Setup files that are not whole, refused before anything is written: an end record that
# claims 60,000 entries over a directory of three, a bit flipped in the signature of the
# third of six central records, a download cut short inside an entry's data, and one cut
# short inside the central directory. Each time: one message that names the setup file,
# says it is incomplete or damaged and to obtain a new copy; no folder, no pack file, no
# question; the program ends by itself.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/archive"
mkdir -p "$w" "$E2E_C/dl"
names=(Galvery.EXE Galvery.HLP readme.txt notes.txt license.txt order.txt)
for n in "${names[@]}"; do
  for i in $(seq 1 50); do echo "line $i of $n"; done > "$w/$n"
done

# refused SETUP: runs the setup file to the one message and its end.
refused() {
  rm -rf "$E2E_C/Galvery"
  e2e_mark
  e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "$E2E_DAMAGED" 1 \
    click 1 \
    no-window 3 \
    exit 0
  e2e_expect_absent 'C:\Galvery'
  e2e_expect_nothing_written
  e2e_expect_no_shortcut
  echo "e2e: $1: refused before anything was written"
}

e2e_zip_begin "$w/claims.zip"
for n in "${names[@]:0:3}"; do e2e_zip_entry "d:/Galvery/$n" 0 "$w/$n" "$(stat -c %s "$w/$n")" "$(e2e_crc32 "$w/$n")" 0x81A40020; done
e2e_zip_end 60000
e2e_setup_of "$w/claims.zip" "$E2E_C/dl/SetupGalvery.exe"
refused "a directory short of its count"

e2e_zip_begin "$w/whole.zip"
for n in "${names[@]}"; do e2e_zip_entry "d:/Galvery/$n" 0 "$w/$n" "$(stat -c %s "$w/$n")" "$(e2e_crc32 "$w/$n")" 0x81A40020; done
e2e_zip_end
cp "$w/whole.zip" "$w/flipped.zip"
# The third central header signature, PK 1 2: its "1" becomes 0x11.
third=$(grep -obUaP 'PK\x01\x02' "$w/flipped.zip" | sed -n 3p | cut -d: -f1)
[ -n "$third" ] || e2e_fail "no third central record in $w/flipped.zip"
printf '\021' | dd of="$w/flipped.zip" bs=1 seek=$((third + 2)) conv=notrunc status=none
e2e_setup_of "$w/flipped.zip" "$E2E_C/dl/SetupGalvery.exe"
refused "a flipped bit in a central record"

# Downloads cut short: in the data of the third entry, and inside the central directory.
e2e_setup_of "$w/whole.zip" "$w/whole.exe"
stub=$(( $(stat -c %s "$E2E_STUB") + 8 ))
in_data=$(( stub + $(grep -obUaP 'PK\x03\x04' "$w/whole.zip" | sed -n 3p | cut -d: -f1) + 60 ))
in_directory=$(( stub + third + 20 ))
for cut in "$in_data" "$in_directory"; do
  head -c "$cut" "$w/whole.exe" > "$E2E_C/dl/SetupGalvery.exe"
  refused "a setup file cut at byte $cut"
done
