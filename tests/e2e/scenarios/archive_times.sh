#!/usr/bin/env bash
# The archive reader of the Windows build: archive_probe.exe extracts a crafted archive
# (a deflated entry with a "UT" block holding all three times, a stored entry with only
# its DOS stamp, a directory entry, and a stored entry whose local "UT" block gives the
# write time while its central one, which must be ignored, gives others) into
# C:\Galvery, and the file times read back with GetFileTime must be the archive's.
source "$(dirname "$0")/../wine_env.sh"
: "${E2E_PROBE:=$E2E_WIN_DIR/archive_probe.exe}"
e2e_require_file "$E2E_PROBE" "the archive probe (archive_probe.exe)" "$(e2e_build_hint)"
e2e_init

w="$E2E_WORK/archive"
mkdir -p "$w"
zip="$w/test.zip"
e2e_zip_begin "$zip"

# ut_block FLAGS TIME...: an extended timestamp block.
ut_block() {
  local flags=$1
  shift
  printf 'UT'
  e2e_le16 $((1 + 4 * $#))
  printf "\\x$(printf %02x "$flags")"
  local t
  for t in "$@"; do e2e_le32 "$t"; done
}

# add_entry NAME DATA METHOD EXTERNAL LOCAL_EXTRA CENTRAL_EXTRA: DATA stored or deflated.
add_entry() {
  local stored="$w/stored"
  if [ "$3" = 8 ]; then e2e_deflate "$2" "$stored"; else cp "$2" "$stored"; fi
  e2e_zip_add "$1" "$3" "$stored" "$(stat -c %s "$2")" "$(e2e_crc32 "$2")" "$4" "$5" "$6"
}

# Unix times: 2017-07-14 02:40:00, 02:41:40, and 2014-05-13 16:53:20.
W=1500000000 A=1500000100 C=1400000000 DOS=1379268390
ticks() { echo $(($1 * 10000000 + 116444736000000000)); }

for i in $(seq 1 4000); do echo "line $i of the program"; done > "$w/exe"
printf 'help\r\n' > "$w/hlp"
printf 'notes\r\n' > "$w/notes"
: > "$w/none"
ut_block 7 $W $A $C > "$w/ut7"
ut_block 1 $W > "$w/ut1"
ut_block 7 $C $C $C > "$w/ut-central"
add_entry 'd:/Galvery/RELEASE/Galvery.EXE' "$w/exe" 8 0x81A40020 "$w/ut7" "$w/none"
add_entry 'd:/Galvery/HLP/Galvery.HLP' "$w/hlp" 0 0x81A40020 "$w/none" "$w/none"
add_entry 'docs/' "$w/none" 0 0x41ED0010 "$w/none" "$w/none"
add_entry 'notes.txt' "$w/notes" 0 0x00000020 "$w/ut1" "$w/ut-central"
e2e_zip_end

mkdir -p "$E2E_C/pack" "$E2E_C/Galvery"
cp "$zip" "$E2E_C/pack/test.zip"
e2e_wine "$E2E_PROBE" 'C:\pack\test.zip' 'C:\Galvery' | tr -d '\r' > "$w/probe.txt" ||
  e2e_fail "archive_probe.exe failed: $(cat "$w/probe.txt")"
cat "$w/probe.txt"

# Wine keeps no creation time of its own on Linux file systems: what it reports there is
# not what SetFileTime was given, so only the access and write times are compared.
expect_file() {  # NAME DATA ACCESS WRITE
  local line size crc
  line=$(grep "^file $1 " "$w/probe.txt") || e2e_fail "no file line for $1"
  size=$(stat -c %s "$2")
  crc=$(e2e_crc32 "$2")
  read -r _ _ got_size got_crc _ got_access got_write <<< "$line"
  [ "$got_size $got_crc" = "$size $crc" ] || e2e_fail "$1: $got_size bytes, CRC $got_crc; expected $size, $crc"
  [ "$got_access" = "$(ticks "$3")" ] || e2e_fail "$1: access time $got_access, expected $(ticks "$3")"
  [ "$got_write" = "$(ticks "$4")" ] || e2e_fail "$1: write time $got_write, expected $(ticks "$4")"
  echo "e2e: $1 has the archive's data and times"
}

for i in 0 1 2 3; do grep -q "^entry $i 0 " "$w/probe.txt" || e2e_fail "entry $i was not extracted"; done
expect_file Galvery.EXE "$w/exe" $A $W
expect_file Galvery.HLP "$w/hlp" $DOS $DOS
expect_file notes.txt "$w/notes" $DOS $W
grep -q '^dir docs/ 0x10$' "$w/probe.txt" || e2e_fail "docs/ was not created as a directory"
# Stored folders are dropped: everything lands in C:\Galvery itself.
got=$(cd "$E2E_C/Galvery" && find . | sort | tr '\n' ' ')
[ "$got" = ". ./Galvery.EXE ./Galvery.HLP ./docs ./notes.txt " ] || e2e_fail "C:\\Galvery holds: $got"
echo "e2e: C:\\Galvery holds exactly the three files and docs"
