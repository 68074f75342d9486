#!/usr/bin/env bash
# A sealed setup file, built by mksetup, whose last entry's data holds the bytes of an end
# record: it installs whole (version 1). Version 2 with one bit flipped in the data of its
# last entry: the structure holds, the seal does not. The pack file goes, nothing is
# unpacked, the one message for a setup file that is not whole is shown, and version 1's
# files stay as they were, byte for byte and with their times. Version 2 as built then
# replaces every one of them, and the folder its replacements were written in goes.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w/v1" "$w/v2" "$E2E_C/dl"
for v in 1 2; do
  printf 'MZ the program, version %s\r\n' "$v" > "$w/v$v/Galvery.EXE"
  for i in $(seq 1 40); do printf 'line %s of the manual, version %s\r\n' "$i" "$v"; done > "$w/v$v/manual.txt"
  # Random data, which mksetup stores: its bytes are in the setup file as they are. An end
  # record (no disk, two entries, a directory of 100 bytes at 0, no comment) lies inside.
  { printf 'DATA-OF-VERSION-%s' "$v"; head -c 30000 /dev/urandom
    printf 'PK\005\006\000\000\000\000\002\000\002\000\144\000\000\000\000\000\000\000\000\000'
    head -c 30000 /dev/urandom; } > "$w/v$v/data.bin"
  "$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$w/SetupGalvery-v$v.exe" \
    --add "d:/Galvery/Galvery.EXE=$w/v$v/Galvery.EXE" --add "d:/Galvery/manual.txt=$w/v$v/manual.txt" \
    --add "d:/Galvery/data.bin=$w/v$v/data.bin" > "$w/mksetup.out" 2>&1 || e2e_fail "mksetup failed: $(cat "$w/mksetup.out")"
done
"$E2E_MKSETUP" list "$w/SetupGalvery-v1.exe" | grep -q "seal:.*match" || e2e_fail "mksetup list does not call v1 sealed: $("$E2E_MKSETUP" list "$w/SetupGalvery-v1.exe")"

cp "$w/SetupGalvery-v1.exe" "$E2E_C/dl/SetupGalvery.exe"
e2e_report report 'c:\Galvery\Galvery.EXE' 'c:\Galvery\manual.txt' 'c:\Galvery\data.bin'
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "$report" 1 click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
for f in Galvery.EXE manual.txt data.bin; do cmp "$w/v1/$f" "$E2E_C/Galvery/$f" || e2e_fail "$f is not version 1's"; done
echo "e2e: version 1 installed whole, an end record in its data and all"
before=$(cd "$E2E_C/Galvery" && stat -c '%n %s %Y' Galvery.EXE manual.txt data.bin)

# One bit of version 2's last entry, well inside its data.
at=$(grep -obUa 'DATA-OF-VERSION-2' "$w/SetupGalvery-v2.exe" | head -1 | cut -d: -f1)
[ -n "$at" ] || e2e_fail "version 2's data is not stored as it is"
cp "$w/SetupGalvery-v2.exe" "$E2E_C/dl/SetupGalvery.exe"
byte=$(od -An -tu1 -j $((at + 1000)) -N1 "$w/SetupGalvery-v2.exe" | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 4)))" | dd of="$E2E_C/dl/SetupGalvery.exe" bs=1 seek=$((at + 1000)) conv=notrunc status=none
cmp -s "$w/SetupGalvery-v2.exe" "$E2E_C/dl/SetupGalvery.exe" && e2e_fail "no bit was flipped"
"$E2E_MKSETUP" verify "$(e2e_unix_path 'C:\dl\SetupGalvery.exe')" > "$w/verify.out" 2>&1 &&
  e2e_fail "mksetup verify passes the flipped file: $(cat "$w/verify.out")"
grep -q seal "$w/verify.out" || e2e_fail "mksetup verify does not name the seal: $(cat "$w/verify.out")"

e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "$E2E_DAMAGED" 1 click 1 \
  no-window 3 \
  exit 0
e2e_expect_no_shortcut
after=$(cd "$E2E_C/Galvery" && stat -c '%n %s %Y' Galvery.EXE manual.txt data.bin)
[ "$before" = "$after" ] || e2e_fail "version 1's files changed: $before / $after"
for f in Galvery.EXE manual.txt data.bin; do cmp "$w/v1/$f" "$E2E_C/Galvery/$f" || e2e_fail "$f is not version 1's any more"; done
e2e_expect_listing 'C:\Galvery' Galvery.EXE data.bin manual.txt
echo "e2e: the damaged version 2 unpacked nothing; version 1 stays as it was"

cp "$w/SetupGalvery-v2.exe" "$E2E_C/dl/SetupGalvery.exe"
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  "${E2E_ACCEPT[@]}" \
  msgbox SetupGalvery "$report" 1 click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
for f in Galvery.EXE manual.txt data.bin; do cmp "$w/v2/$f" "$E2E_C/Galvery/$f" || e2e_fail "$f is not version 2's"; done
e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery_pack.zip data.bin manual.txt
echo "e2e: version 2 as built replaced version 1 whole"
