#!/usr/bin/env bash
# mksetup's command line as a vendor uses it: builds, every refusal (exit status 1, the
# cause on stderr, nothing written), byte-identical rebuilds, list and verify on good and
# damaged setup files, and signing with osslsigncode and a certificate made here.
#   mksetup_cli_test.sh MKSETUP
set -euo pipefail
mksetup=$(realpath "$1")
for tool in osslsigncode openssl gzip; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/bootstrap.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
# poke FILE OFFSET: writes standard input's bytes over FILE at OFFSET.
poke() { dd of="$1" bs=1 seek="$(($2))" conv=notrunc status=none; }
# The CRC-32 of a file, from gzip's trailer.
crc32() {
  local b
  b=($(gzip -c < "$1" | tail -c 8 | od -An -tu1))
  echo $((b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24))
}
# expect_sealed SETUP COMMENT: the archive behind SETUP's stub (1024 bytes) and marker
# ends with COMMENT, "seal:crc32:" and the CRC-32 of every byte before the digits.
expect_sealed() {
  local archive=$1.archive
  tail -c +$((1024 + 8 + 1)) "$1" > "$archive"
  [ "$(tail -c 19 "$archive" | head -c 11)" = seal:crc32: ] || fail "$1 holds no seal: $(tail -c 19 "$archive")"
  head -c $(($(stat -c %s "$archive") - 8)) "$archive" > "$archive.covered"
  [ "$(tail -c 8 "$archive")" = "$(printf %08x "$(crc32 "$archive.covered")")" ] ||
    fail "the seal of $1 is not the CRC-32 of its archive: $(tail -c 8 "$archive")"
  [ "$(tail -c $((19 + ${#2})) "$archive" | head -c ${#2})" = "$2" ] || fail "$1 does not keep the comment '$2'"
  [ "$(od -An -tu2 -j $(($(stat -c %s "$archive") - 19 - ${#2} - 2)) -N 2 "$archive" | tr -d ' ')" = $((19 + ${#2})) ] ||
    fail "the comment of $1 is not the last thing in its archive"
}

# A minimal PE32+ image holding the marker once in its one section: enough for
# osslsigncode to sign, and a stand-in for the setup program's stub.
pe_stub() {
  local f=$1
  head -c 1024 /dev/zero > "$f"
  printf 'MZ' | poke "$f" 0
  le32 0x40 | poke "$f" 0x3C
  { printf 'PE\0\0'; le16 0x8664; le16 1; le32 0; le32 0; le32 0; le16 0xF0; le16 0x22; } | poke "$f" 0x40
  { le16 0x20B; le16 0; le32 0x200; le32 0; le32 0; le32 0x1000; le32 0x1000
    le32 0; le32 1; le32 0x1000; le32 0x200; le16 6; le16 0; le16 0; le16 0; le16 6; le16 0; le32 0
    le32 0x2000; le32 0x200; le32 0; le16 2; le16 0
    le32 0x100000; le32 0; le32 0x1000; le32 0; le32 0x100000; le32 0; le32 0x1000; le32 0; le32 0; le32 16
  } | poke "$f" 0x58
  { printf '.text\0\0\0'; le32 0x200; le32 0x1000; le32 0x200; le32 0x200; le32 0; le32 0; le16 0; le16 0
    le32 0x60000020; } | poke "$f" 0x148
  printf '\xc3 stub UUUUUUUU end' | poke "$f" 0x200
}
# zip_one OUT NAME METHOD DATA [PLAIN]: a ZIP archive of one entry whose stored bytes are
# DATA's, under METHOD; for method 8 DATA is already deflated and PLAIN is the original,
# which gives the CRC-32 and size.
zip_one() {
  local out=$1 name=$2 method=$3 data=$4 plain=${5:-$4} crc size csize cd cdsize
  crc=$(crc32 "$plain")
  size=$(stat -c %s "$plain")
  csize=$(stat -c %s "$data")
  common() { le16 20; le16 0; le16 "$method"; le16 0x90CF; le16 0x432F; le32 "$crc"; le32 "$csize"; le32 "$size"; }
  { le32 0x04034b50; common; le16 ${#name}; le16 0; printf '%s' "$name"; cat "$data"; } > "$out"
  cd=$(stat -c %s "$out")
  { le32 0x02014b50; le16 0x0314; common; le16 ${#name}; le16 0; le16 0; le16 0; le16 0; le32 0x81A40020; le32 0
    printf '%s' "$name"; } >> "$out"
  cdsize=$(($(stat -c %s "$out") - cd))
  { le32 0x06054b50; le16 0; le16 0; le16 1; le16 1; le32 "$cdsize"; le32 "$cd"; le16 0; } >> "$out"
}

# expect_refused OUT FRAGMENT COMMAND...: exit status 1, FRAGMENT on stderr, and neither
# OUT nor a temporary file beside it.
expect_refused() {
  local out=$1 fragment=$2 status=0
  shift 2
  "$@" > stdout.txt 2> stderr.txt || status=$?
  [ "$status" = 1 ] || fail "exit status $status, not 1, for: $* (stderr: $(cat stderr.txt))"
  grep -qF -- "$fragment" stderr.txt || fail "stderr lacks \"$fragment\" for: $*; it says: $(cat stderr.txt)"
  [ ! -e "$out" ] || fail "$out was written although refused: $*"
  ! ls "$out".mksetup-* >/dev/null 2>&1 || fail "temporary files left beside $out: $*"
}

pe_stub stub.exe
for i in $(seq 1 3000); do echo "line $i of the program"; done > Galvery.EXE
printf 'help\r\n' > Galvery.HLP
touch -d '2024-03-01 12:00:00 UTC' Galvery.EXE Galvery.HLP
galvery_exe=d:/Galvery/RELEASE/Galvery.EXE
galvery=(--add d:/Galvery/RELEASE/Galvery.EXE=Galvery.EXE --add d:/Galvery/HLP/Galvery.HLP=Galvery.HLP)

# --- command line ---
"$mksetup" --help > help.txt || fail "--help failed"
grep -q 'SetupTolvane-Quillet.exe selects Quillet' help.txt || fail "--help does not explain the product rule"
"$mksetup" build --help > /dev/null || fail "build --help failed"
status=0; "$mksetup" 2> /dev/null || status=$?; [ "$status" = 2 ] || fail "no arguments: exit status $status"
status=0; "$mksetup" build --stub stub.exe --out SetupGalvery.exe "${galvery[@]}" 2> /dev/null || status=$?
[ "$status" = 2 ] || fail "build without --product: exit status $status"
status=0; "$mksetup" build --stub stub.exe --product Galvary --out SetupGalvery.exe "${galvery[@]}" 2> err.txt || status=$?
[ "$status" = 2 ] && grep -q "unknown product 'Galvary'" err.txt || fail "an unknown product: exit status $status"

# --- a good build, list and verify ---
"$mksetup" build --stub stub.exe --product galvery --out SetupGalvery.exe "${galvery[@]}" > out.txt ||
  fail "build failed"
grep -q 'Galvery, 2 entries' out.txt || fail "build summary: $(cat out.txt)"
[ "$("$mksetup" count-markers SetupGalvery.exe)" = 2 ] || fail "the setup file does not hold two markers"
"$mksetup" list SetupGalvery.exe > list.txt || fail "list failed"
grep -q 'product:   Galvery' list.txt || fail "list names no product: $(cat list.txt)"
grep -Eq 'Galvery\.EXE +[0-9]+ +[0-9]+ +deflated .*2024-03-01 12:00:00.* d:/Galvery/RELEASE/Galvery\.EXE' list.txt ||
  fail "list does not show the program's entry: $(cat list.txt)"
"$mksetup" verify --product Galvery SetupGalvery.exe > verify.txt || fail "verify failed: $(cat verify.txt)"
grep -q '^verified: 2 entries.*, and so does the seal' verify.txt || fail "verify says: $(cat verify.txt)"
expect_sealed SetupGalvery.exe ''
grep -q '^  seal:      CRC-32 [0-9a-f]\{8\}, which the archive.s bytes match' list.txt || fail "list: $(cat list.txt)"
echo "ok: build, list, verify"

# A temporary folder named in another script (a user name in Cyrillic, say): the pack
# file the setup program's reader checks is made there and must be found by its name.
mkdir "$work/Временная папка"
TMPDIR="$work/Временная папка" "$mksetup" verify --product Galvery SetupGalvery.exe > verify-tmp.txt ||
  fail "verify with a non-ASCII TMPDIR failed: $(cat verify-tmp.txt)"
grep -q '^verified: 2 entries' verify-tmp.txt || fail "verify with a non-ASCII TMPDIR says: $(cat verify-tmp.txt)"
[ -z "$(ls -A "$work/Временная папка")" ] || fail "verify left files in TMPDIR: $(ls -A "$work/Временная папка")"
echo "ok: verify with a temporary folder outside ASCII"

# --- the same inputs give the same bytes ---
cp SetupGalvery.exe first.exe
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery.exe "${galvery[@]}" > /dev/null
cmp -s first.exe SetupGalvery.exe || fail "a second build differs"
touch Galvery.EXE Galvery.HLP  # now
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery.exe "${galvery[@]}" > /dev/null
! cmp -s first.exe SetupGalvery.exe || fail "a newer modification time did not change the setup file"
# SOURCE_DATE_EPOCH clamps: files modified after it get it, whenever they were touched.
SOURCE_DATE_EPOCH=1709294400 "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery.exe \
  "${galvery[@]}" > /dev/null
cmp -s first.exe SetupGalvery.exe || fail "SOURCE_DATE_EPOCH (2024-03-01 12:00:00) did not give the first build's bytes"
echo "ok: reproducible"

# --- refusals ---
cp SetupGalvery.exe keep.exe
head -c 512 stub.exe > nomarker.exe
expect_refused SetupGalvery-new.exe "holds the marker 0 times" \
  "$mksetup" build --stub nomarker.exe --product Galvery --out SetupGalvery-new.exe "${galvery[@]}"
{ cat stub.exe; printf 'UUUUUUUU'; } > twomarkers.exe
expect_refused SetupGalvery-new.exe "holds the marker 2 times" \
  "$mksetup" build --stub twomarkers.exe --product Galvery --out SetupGalvery-new.exe "${galvery[@]}"
{ cat stub.exe; printf 'U'; } > endsinu.exe
expect_refused SetupGalvery-new.exe "ends in a 0x55 byte" \
  "$mksetup" build --stub endsinu.exe --product Galvery --out SetupGalvery-new.exe "${galvery[@]}"
expect_refused SetupTolvane-Quillet.exe "selects Quillet, not Tolvane" \
  "$mksetup" build --stub stub.exe --product Tolvane --out SetupTolvane-Quillet.exe "${galvery[@]}"
expect_refused Setup.exe "selects no product" \
  "$mksetup" build --stub stub.exe --product ZOV --out Setup.exe "${galvery[@]}"
expect_refused SetupGalvery-new.exe "device name CON" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add d:/x/CON=Galvery.HLP
expect_refused SetupGalvery-new.exe "is a directory entry (its name ends in a separator)" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add docs/=Galvery.HLP
expect_refused SetupGalvery-new.exe "name of 260 bytes" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add "$(printf 'n%.0s' {1..256}).txt=Galvery.HLP"
expect_refused SetupGalvery-new.exe "name (local header)" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add UUUUUUUU.txt=Galvery.HLP
expect_refused SetupGalvery-new.exe "missing.txt" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add a.txt=missing.txt
# A refused build leaves an existing setup file of that name alone.
status=0
"$mksetup" build --stub nomarker.exe --product Galvery --out SetupGalvery.exe "${galvery[@]}" 2> /dev/null || status=$?
[ "$status" = 1 ] && cmp -s keep.exe SetupGalvery.exe || fail "a refused build changed the existing setup file"

# Two entries that install as one file: a warning, or refused on request.
dup=(--add a/readme.txt=Galvery.HLP --add b/README.TXT=Galvery.HLP)
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-dup.exe "${dup[@]}" > /dev/null 2> err.txt ||
  fail "duplicate names were refused without --refuse-duplicates"
grep -q "warning: .*both install as 'README.TXT'" err.txt || fail "no warning about duplicates: $(cat err.txt)"
expect_refused SetupGalvery-dup2.exe "both install as" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-dup2.exe --refuse-duplicates "${dup[@]}"

# Archives given with --zip: what the setup program cannot read is refused.
tail -c +$((1024 + 8 + 1)) keep.exe > good.zip
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-zip.exe --zip good.zip > /dev/null ||
  fail "a good archive was refused"
cmp -s keep.exe SetupGalvery-zip.exe || fail "a good archive was not shipped as it is, sealed once"
eocd=$(($(stat -c %s good.zip) - 22 - 19))  # the end record, then the seal as its comment
cp good.zip volume.zip; le16 1 | poke volume.zip $((eocd + 4))
expect_refused SetupGalvery-new.exe "more than one volume" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip volume.zip
cp good.zip zip64.zip; { le32 0xFFFFFFFF; } | poke zip64.zip $((eocd + 16))
expect_refused SetupGalvery-new.exe "leaves its central directory offset to a ZIP64 end record" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip zip64.zip
cp good.zip encrypted.zip; le16 1 | poke encrypted.zip 6
cd_at=$(od -An -tu4 -j $((eocd + 16)) -N 4 good.zip | tr -d ' ')
le16 1 | poke encrypted.zip $((cd_at + 8))
expect_refused SetupGalvery-new.exe "is encrypted" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip encrypted.zip
cp good.zip bzip2.zip; le16 12 | poke bzip2.zip 8; le16 12 | poke bzip2.zip $((cd_at + 10))
expect_refused SetupGalvery-new.exe "method 12 (bzip2)" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip bzip2.zip

# Eight 0x55 bytes in a stored entry's data: refused. In deflated data (here a deflate
# stream of one stored block, which holds the bytes as they are): deflated again.
{ printf 'BM'; printf 'U%.0s' {1..40}; printf 'pixels'; } > logo.bmp
zip_one stored.zip logo.bmp 0 logo.bmp
expect_refused SetupGalvery-new.exe "the entry is stored" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip stored.zip
{ printf '\x01'; le16 48; le16 $((0xFFFF - 48)); cat logo.bmp; } > logo.deflated
zip_one deflated.zip logo.bmp 8 logo.deflated logo.bmp
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-logo.exe --zip deflated.zip > /dev/null 2> err.txt ||
  fail "a run in deflated data was not broken: $(cat err.txt)"
grep -q "'logo.bmp' deflated again at level 6" err.txt || fail "no note about deflating again: $(cat err.txt)"
[ "$("$mksetup" count-markers SetupGalvery-logo.exe)" = 2 ] || fail "the run is still there"
"$mksetup" verify SetupGalvery-logo.exe > /dev/null || fail "the rewritten archive does not verify"
# A vendor's comment stays in front of the seal; sealed again, it keeps one seal.
zip_one vendor.zip Galvery.HLP 0 Galvery.HLP
comment='Galvery 2.0, build 17'
head -c -2 vendor.zip > vendor-commented.zip
{ le16 ${#comment}; printf '%s' "$comment"; } >> vendor-commented.zip
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-vendor.exe --zip vendor-commented.zip > /dev/null ||
  fail "an archive with a comment was refused"
expect_sealed SetupGalvery-vendor.exe "$comment"
tail -c +$((1024 + 8 + 1)) SetupGalvery-vendor.exe > vendor-sealed.zip
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-vendor2.exe --zip vendor-sealed.zip > /dev/null ||
  fail "a sealed archive was refused"
cmp -s SetupGalvery-vendor.exe SetupGalvery-vendor2.exe || fail "sealing a sealed archive again changed it"
# A seal that no longer holds gives way to one that does.
last=$(tail -c 1 vendor-sealed.zip)
cp vendor-sealed.zip vendor-stale.zip
printf "$([ "$last" = 0 ] && echo 1 || echo 0)" | poke vendor-stale.zip $(($(stat -c %s vendor-stale.zip) - 1))
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-vendor3.exe --zip vendor-stale.zip > /dev/null ||
  fail "an archive with a stale seal was refused"
cmp -s SetupGalvery-vendor.exe SetupGalvery-vendor3.exe || fail "a stale seal was not replaced"
# No room for the seal behind the longest comment.
head -c -2 vendor.zip > vendor-long.zip
{ le16 65500; head -c 65500 /dev/zero | tr '\0' c; } >> vendor-long.zip
expect_refused SetupGalvery-new.exe "the archive comment is 65500 bytes; with the seal of 19 bytes behind it" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --zip vendor-long.zip
echo "ok: refusals"

# --- --add-list: the same entries as --add, blank lines and CR line ends skipped ---
export SOURCE_DATE_EPOCH=1709294400  # the files were touched since keep.exe was made
printf 'd:/Galvery/RELEASE/Galvery.EXE=Galvery.EXE\n\n  \nd:/Galvery/HLP/Galvery.HLP=Galvery.HLP\r\n' > list.txt
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-list.exe --add-list list.txt > /dev/null ||
  fail "build with --add-list failed"
cmp -s keep.exe SetupGalvery-list.exe || fail "--add-list did not give the bytes --add gives"
echo 'd:/Galvery/HLP/Galvery.HLP=Galvery.HLP' > second.txt
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-list.exe \
  --add d:/Galvery/RELEASE/Galvery.EXE=Galvery.EXE --add-list second.txt > /dev/null || fail "--add with --add-list failed"
cmp -s keep.exe SetupGalvery-list.exe || fail "--add and --add-list did not keep the order given"
printf 'a.txt=Galvery.HLP\nGalvery.EXE\n' > bad.txt
expect_refused SetupGalvery-new.exe "bad.txt:2: 'Galvery.EXE' is not STORED=FILE" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-list bad.txt
printf '\n\n' > blank.txt
expect_refused SetupGalvery-new.exe "name no file to add" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-list blank.txt
grep -q -- '--add-list LIST' help.txt || fail "--help does not tell of --add-list"
unset SOURCE_DATE_EPOCH
echo "ok: --add-list"

# --- --add-dir: every file below a folder, in the byte order of the paths, as --add ---
mkdir -p dist/RELEASE dist/HLP dist/empty dist/Zeta
cp Galvery.EXE dist/RELEASE/; cp Galvery.HLP dist/HLP/; cp Galvery.HLP dist/Zeta/a.txt; cp Galvery.HLP dist/top.txt
ln -s .. dist/RELEASE/up        # a link back to a folder above: not followed again
ln -s ../Galvery.HLP dist/link.txt
touch -h -d '2024-03-01 12:00:00 UTC' dist/RELEASE/* dist/HLP/* dist/Zeta/* dist/*.txt
sorted=(--add d:/G/HLP/Galvery.HLP=Galvery.HLP --add d:/G/RELEASE/Galvery.EXE=Galvery.EXE
        --add d:/G/Zeta/a.txt=Galvery.HLP --add d:/G/link.txt=Galvery.HLP --add d:/G/top.txt=Galvery.HLP)
export SOURCE_DATE_EPOCH=1709294400
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-sorted.exe "${sorted[@]}" > /dev/null 2>&1 ||
  fail "build of the sorted --add list failed"
for prefix in d:/G d:/G/; do
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-dir.exe --add-dir "$prefix=dist" > /dev/null 2>&1 ||
    fail "build with --add-dir $prefix=dist failed"
  cmp -s SetupGalvery-sorted.exe SetupGalvery-dir.exe || fail "--add-dir $prefix=dist did not give the bytes of --add in path order"
done
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-dir.exe --add-dir =dist/Zeta \
  --add z.txt=Galvery.HLP > /dev/null 2>&1 || fail "--add-dir with an empty prefix failed"
"$mksetup" list SetupGalvery-dir.exe > list.txt
[ "$(grep -Eo '[^ ]+$' list.txt | tail -2 | tr '\n' ' ')" = "a.txt z.txt " ] ||
  fail "--add-dir =DIR with --add: $(cat list.txt)"
expect_refused SetupGalvery-new.exe "the folder dist/empty holds no files" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-dir d:/G=dist/empty
expect_refused SetupGalvery-new.exe "cannot read the folder no-such-dir" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-dir d:/G=no-such-dir
mkfifo dist/HLP/pipe
expect_refused SetupGalvery-new.exe "dist/HLP/pipe is neither a file nor a folder" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-dir d:/G=dist
rm dist/HLP/pipe
unset SOURCE_DATE_EPOCH
echo "ok: --add-dir"

# --- names: beyond ASCII stored as UTF-8 with bit 11, or in the code page given ---
u16() { od -An -tu2 -j "$(($2))" -N 2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$(($2))" -N 4 "$1" | tr -d ' '; }
# entry_headers SETUP K: the offsets of entry K's (from 0) local header and central record
# in the archive SETUP holds behind pe_stub's stub, which it writes to names.zip.
entry_headers() {
  local zip=names.zip cd k
  tail -c +$((1024 + 8 + 1)) "$1" > "$zip"
  cd=$(u32 "$zip" $(($(stat -c %s "$zip") - 22 - 19 + 16)))
  for ((k = 0; k < $2; k++)); do cd=$((cd + 46 + $(u16 "$zip" cd+28) + $(u16 "$zip" cd+30) + $(u16 "$zip" cd+32))); done
  echo "$(u32 "$zip" cd+42) $cd"
}
# name_at ZIP OFFSET LENGTH: the bytes of a stored name, in hex.
name_at() { od -An -tx1 -v -j "$(($2))" -N "$3" "$1" | tr -d ' \n'; }
hex() { printf "$1" | od -An -tx1 -v | tr -d ' \n'; }
export SOURCE_DATE_EPOCH=1709294400
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-greek.exe \
  --add 'd:/Ελλάδα/Οδηγός.txt=Galvery.HLP' --add d:/x/plain.txt=Galvery.HLP > /dev/null 2> err.txt ||
  fail "a Greek name was refused: $(cat err.txt)"
! grep -q "0x80 or more" err.txt || fail "a name stored as UTF-8 was warned about: $(cat err.txt)"
read -r local central <<< "$(entry_headers SetupGalvery-greek.exe 0)"
[ $(($(u16 names.zip local+6) & 0x800)) = 2048 ] && [ $(($(u16 names.zip central+8) & 0x800)) = 2048 ] ||
  fail "bit 11 is not set in both headers of the Greek name"
[ "$(name_at names.zip local+30 32)" = "$(hex 'd:/Ελλάδα/Οδηγός.txt')" ] &&
  [ "$(name_at names.zip central+46 32)" = "$(hex 'd:/Ελλάδα/Οδηγός.txt')" ] || fail "the Greek name is not stored in UTF-8"
read -r local central <<< "$(entry_headers SetupGalvery-greek.exe 1)"
[ $(($(u16 names.zip local+6) & 0x800)) = 0 ] && [ $(($(u16 names.zip central+8) & 0x800)) = 0 ] ||
  fail "bit 11 is set for an ASCII name"
"$mksetup" list SetupGalvery-greek.exe > list.txt || fail "list of the Greek names failed"
grep -Eq '^ +Οδηγός\.txt .* UTF-8 flag +d:/Ελλάδα/Οδηγός\.txt$' list.txt &&
  grep -Eq '^ +plain\.txt .* - +d:/x/plain\.txt$' list.txt || fail "list of the Greek names: $(cat list.txt)"
# A list file as Notepad saves it, with a byte order mark: the same names.
printf '\xEF\xBB\xBFd:/Ελλάδα/Οδηγός.txt=Galvery.HLP\r\nd:/x/plain.txt=Galvery.HLP\r\n' > greek.txt
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-greeklist.exe --add-list greek.txt > /dev/null ||
  fail "--add-list of UTF-8 with a byte order mark failed"
cmp -s SetupGalvery-greek.exe SetupGalvery-greeklist.exe || fail "--add-list with a byte order mark stored other names"

# --codepage 932: the name in Shift-JIS, no flag; its second bytes 0x5C are no separators.
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-sjis.exe --codepage 932 \
  --add 'ソフト/表.txt=Galvery.HLP' > /dev/null 2> err.txt || fail "--codepage 932 refused a Japanese name: $(cat err.txt)"
grep -q "warning: .*0x80 or more.* in code page 932 it installs as '表.txt'" err.txt || fail "no warning: $(cat err.txt)"
read -r local central <<< "$(entry_headers SetupGalvery-sjis.exe 0)"
[ "$(u16 names.zip local+26)" = 13 ] && [ "$(name_at names.zip local+30 13)" = "$(hex '\x83\x5c\x83\x74\x83\x67/\x95\x5c.txt')" ] ||
  fail "the name is not stored in Shift-JIS: $(name_at names.zip local+30 "$(u16 names.zip local+26)")"
[ $(($(u16 names.zip local+6) & 0x800)) = 0 ] && [ $(($(u16 names.zip central+8) & 0x800)) = 0 ] ||
  fail "bit 11 is set for a name of code page 932"
"$mksetup" list --codepage 932 SetupGalvery-sjis.exe > list.txt 2> /dev/null || fail "list --codepage 932 failed"
grep -Eq '^ +表\.txt .* code page 932 +\\x83\\x5C\\x83t\\x83g/\\x95\\x5C\.txt$' list.txt || fail "list --codepage 932: $(cat list.txt)"
expect_refused SetupGalvery-new.exe \
  "cannot store the name 'Ελλάδα.txt' given for Galvery.HLP: code page 1252 has no character 'Ε' (U+0395)" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --codepage 1252 --add Ελλάδα.txt=Galvery.HLP
expect_refused SetupGalvery-new.exe "cannot store the name 'bad\xFF.txt' given for Galvery.HLP: it is not valid UTF-8" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add $'bad\xff.txt=Galvery.HLP'
mkdir -p badnames && cp Galvery.HLP $'badnames/\xe9t\xe9.txt'
expect_refused SetupGalvery-new.exe "cannot store the name 'd:/G/\xE9t\xE9.txt'" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-new.exe --add-dir d:/G=badnames
# zip sets bit 11 for such names too (in a UTF-8 locale); mksetup ships its archive as it
# is and reads the name so.
if command -v zip > /dev/null; then
  mkdir -p zipped && cp Galvery.HLP zipped/Οδηγός.txt
  (cd zipped && LC_ALL=C.UTF-8 zip -q -X ../greek.zip Οδηγός.txt)
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-greekzip.exe --zip greek.zip > /dev/null 2> err.txt ||
    fail "zip's archive of a Greek name was refused: $(cat err.txt)"
  # As it is up to its comment's length (zip -X writes no comment), then sealed.
  cmp -s <(head -c -2 greek.zip) <(tail -c +$((1024 + 8 + 1)) SetupGalvery-greekzip.exe | head -c $(($(stat -c %s greek.zip) - 2))) ||
    fail "zip's archive was not shipped as it is"
  expect_sealed SetupGalvery-greekzip.exe ''
  "$mksetup" list SetupGalvery-greekzip.exe > list.txt
  grep -Eq '^ +Οδηγός\.txt .* UTF-8 flag +Οδηγός\.txt$' list.txt || fail "list of zip's archive: $(cat list.txt)"
fi
unset SOURCE_DATE_EPOCH
echo "ok: names in UTF-8 and in a code page"

# --- without --stub: the stub installed beside mksetup, which a build tree has not ---
expect_refused SetupGalvery-new.exe "no --stub given, and no stub is installed with mksetup" \
  "$mksetup" build --product Galvery --out SetupGalvery-new.exe "${galvery[@]}"
"$mksetup" --version > version.txt || fail "--version failed"
grep -q '^mksetup [0-9]' version.txt && grep -q '^stub: none installed' version.txt ||
  fail "--version in a build tree: $(cat version.txt)"
echo "ok: --stub by default"

# --- more than 65535 entries: written with ZIP64, listed and verified whole ---
mkdir many
for i in $(seq 0 65535); do echo "file $i" > "many/f$i.txt"; done
touch -d '2024-03-01 12:00:00 UTC' many/*
for i in $(seq 0 65535); do echo "d:/Many/f$i.txt=many/f$i.txt"; done > many.txt
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-many.exe --add-list many.txt > out.txt ||
  fail "a build of 65536 entries failed"
grep -q 'Galvery, 65536 entries' out.txt || fail "build summary: $(cat out.txt)"
"$mksetup" verify SetupGalvery-many.exe > verify.txt || fail "verify of 65536 entries failed: $(cat verify.txt)"
grep -q 'archive: .* 65536 entries, counted by a ZIP64 end record' verify.txt || fail "no ZIP64 end record: $(head verify.txt)"
grep -q '^verified: 65536 entries' verify.txt || fail "verify says: $(tail -1 verify.txt)"
grep -Eq 'f65535\.txt +[0-9]+ .* d:/Many/f65535\.txt$' verify.txt || fail "the last entry is not listed"
# The same archive as a writer without ZIP64 leaves it: no ZIP64 records, a count of 0.
# A warning: the setup program installs all 65536.
tail -c +$((1024 + 8 + 1)) SetupGalvery-many.exe > many64.zip
size=$(stat -c %s many64.zip)
# Its end record and sealed comment (22 + 19 bytes) behind the ZIP64 records.
{ head -c $((size - 22 - 19 - 20 - 56)) many64.zip; tail -c $((22 + 19)) many64.zip; } > wrapped.zip
{ le16 0; le16 0; } | poke wrapped.zip $(($(stat -c %s wrapped.zip) - 22 - 19 + 8))
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-wrapped.exe --zip wrapped.zip > /dev/null 2> err.txt ||
  fail "an archive whose count wrapped was refused: $(head -3 err.txt)"
grep -q "warning: the end record counts 0 entries, its central directory holds 65536 records" err.txt ||
  fail "no warning about the wrapped count: $(head -3 err.txt)"
"$mksetup" verify SetupGalvery-wrapped.exe > verify.txt 2> /dev/null || fail "verify of the wrapped count failed"
grep -q '^verified: 65536 entries' verify.txt || fail "verify says: $(tail -1 verify.txt)"
# zip, too, counts them with ZIP64; mksetup ships its archive as it is. zip -fz leaves
# the sizes to ZIP64 blocks even for one small file.
if command -v zip > /dev/null; then
  (cd many && ls | zip -q -X -D ../many.zip -@)
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-manyzip.exe --zip many.zip > /dev/null 2> err.txt ||
    fail "zip's archive of 65536 entries was refused: $(head -3 err.txt)"
  # As it is up to its comment's length (zip -X writes no comment), then sealed.
  cmp -s <(head -c -2 many.zip) <(tail -c +$((1024 + 8 + 1)) SetupGalvery-manyzip.exe | head -c $(($(stat -c %s many.zip) - 2))) ||
    fail "zip's archive was not shipped as it is"
  expect_sealed SetupGalvery-manyzip.exe ''
  "$mksetup" list SetupGalvery-manyzip.exe > list.txt || fail "list of zip's 65536 entries failed"
  grep -q 'archive: .* 65536 entries, counted by a ZIP64 end record' list.txt || fail "list says: $(head list.txt)"
  zip -q -X -fz forced.zip Galvery.HLP
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-forced.exe --zip forced.zip > /dev/null 2> err.txt ||
    fail "zip -fz's archive was refused: $(cat err.txt)"
  "$mksetup" verify SetupGalvery-forced.exe > /dev/null 2> err.txt || fail "zip -fz's archive does not verify: $(cat err.txt)"
  echo "ok: 65536 entries, from --add-list and from zip"
else
  echo "ok: 65536 entries from --add-list; zip is not installed, its archives were not tried"
fi

# --- damaged setup files ---
expect_verify_fails() {  # FILE FRAGMENT [OPTIONS...]
  local file=$1 fragment=$2 status=0
  shift 2
  "$mksetup" verify "$@" "$file" > /dev/null 2> err.txt || status=$?
  [ "$status" = 1 ] || fail "verify of $file: exit status $status, not 1"
  grep -qF -- "$fragment" err.txt || fail "verify of $file does not say \"$fragment\": $(cat err.txt)"
}
size=$(stat -c %s keep.exe)
# A byte of the program's deflated data: behind the stub, the marker, its local header
# (30 bytes), its name (30) and its "UT" block (9).
cp keep.exe SetupGalvery-crc.exe; printf 'X' | poke SetupGalvery-crc.exe $((1024 + 8 + 30 + 30 + 9 + 20))
expect_verify_fails SetupGalvery-crc.exe "entry 'd:/Galvery/RELEASE/Galvery.EXE': its"
# Cut into the end record, in front of the seal (19 bytes).
head -c $((size - 19 - 10)) keep.exe > SetupGalvery-cut.exe
expect_verify_fails SetupGalvery-cut.exe "end record"
{ cat keep.exe; printf 'junk'; } > SetupGalvery-junk.exe
expect_verify_fails SetupGalvery-junk.exe "4 bytes follow the archive's end record"
cp keep.exe Setup.exe
expect_verify_fails Setup.exe "selects no product"
expect_verify_fails keep.exe "selects no product"
cp keep.exe SetupGalvery-keep.exe
expect_verify_fails SetupGalvery-keep.exe "selects Galvery, not Tolvane" --product Tolvane
cp keep.exe SetupGalvery-third.exe; printf 'UUUUUUUU' | poke SetupGalvery-third.exe $((size - 300))
expect_verify_fails SetupGalvery-third.exe "counts the marker 3 times"
status=0; "$mksetup" list SetupGalvery-cut.exe > /dev/null 2>&1 || status=$?
[ "$status" = 1 ] || fail "list of a cut setup file: exit status $status"
# One byte of an entry's data changed: the seal names it, for list as well as verify.
cp keep.exe SetupGalvery-flipped.exe
# The program's data: behind the stub, the marker, its local header, name and "UT" block.
printf '\xff' | poke SetupGalvery-flipped.exe $((1024 + 8 + 30 + ${#galvery_exe} + 9 + 8))
status=0; "$mksetup" verify SetupGalvery-flipped.exe > verify.txt 2> err.txt || status=$?
[ "$status" = 1 ] && grep -q "the archive's seal gives CRC-32 .*: the setup file is damaged, or has changed" err.txt ||
  fail "verify of a changed archive: exit status $status, $(cat err.txt)"
status=0; "$mksetup" list SetupGalvery-flipped.exe > list.txt 2> err.txt || status=$?
[ "$status" = 1 ] && grep -q '^  seal:      CRC-32 [0-9a-f]*, which does not hold' list.txt ||
  fail "list of a changed archive: exit status $status, $(cat list.txt)"
# An archive no seal was made for (by another tool): not sealed, and no defect.
{ cat stub.exe; printf 'UUUUUUUU'; cat vendor.zip; } > SetupGalvery-unsealed.exe
"$mksetup" verify SetupGalvery-unsealed.exe > verify.txt 2> err.txt || fail "an unsealed archive: $(cat err.txt)"
grep -q '^  seal:      none' verify.txt && grep -q '^verified: 1 entries.*(the archive has no seal)' verify.txt ||
  fail "verify of an unsealed archive says: $(cat verify.txt)"
echo "ok: damaged setup files"

# --- signing ---
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 -subj "/CN=mksetup test vendor" \
  2> /dev/null
export SOURCE_DATE_EPOCH=1709294400
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-signed.exe "${galvery[@]}" \
  --sign cert.pem --key key.pem > /dev/null 2> err.txt || fail "signed build failed: $(cat err.txt)"
osslsigncode verify -CAfile cert.pem -in SetupGalvery-signed.exe > verify.txt 2>&1 ||
  fail "osslsigncode rejects the signature: $(cat verify.txt)"
"$mksetup" verify SetupGalvery-signed.exe > verify.txt || fail "mksetup verify rejects the signed file"
grep -q 'signature: certificate table of' verify.txt || fail "verify does not see the signature: $(cat verify.txt)"
grep -q "seal:      CRC-32 [0-9a-f]*, which the archive's bytes match" verify.txt ||
  fail "signing broke the seal: $(cat verify.txt)"
[ "$(head -c $((size)) SetupGalvery-signed.exe | tail -c +$((1024 + 1)) | md5sum)" = \
  "$(tail -c +$((1024 + 1)) keep.exe | md5sum)" ] || fail "signing changed the marker or the archive"
cp SetupGalvery-signed.exe signed-first.exe
"$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-signed.exe "${galvery[@]}" \
  --sign cert.pem --key key.pem > /dev/null 2>&1
cmp -s signed-first.exe SetupGalvery-signed.exe || fail "two signed builds with SOURCE_DATE_EPOCH differ"

# A signer whose signature holds eight 0x55 bytes: signed again, then refused.
cat > fake-signer <<'EOF'
#!/usr/bin/env bash
# Stands in for osslsigncode: copies -in to -out, appends a certificate table that holds
# eight 0x55 bytes, and records it in the PE header of pe_stub's image.
set -e
while [ $# -gt 0 ]; do
  case "$1" in -in) in=$2; shift ;; -out) out=$2; shift ;; -time) echo "$2" >> times.txt; shift ;; esac
  shift
done
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
cp "$in" "$out"
head -c $(( (8 - $(stat -c %s "$out") % 8) % 8 )) /dev/zero >> "$out"
at=$(stat -c %s "$out")
table='PKCS#7 UUUUUUUU signature'
{ le32 $((8 + ${#table})); le16 0x200; le16 2; printf '%s' "$table"; } >> "$out"
{ le32 "$at"; le32 $((8 + ${#table})); } | dd of="$out" bs=1 seek=$((0x58 + 112 + 32)) conv=notrunc status=none
EOF
chmod +x fake-signer
expect_refused SetupGalvery-fake.exe "certificate table (the signature)" \
  env MKSETUP_OSSLSIGNCODE="$work/fake-signer" "$mksetup" build --stub stub.exe --product Galvery \
  --out SetupGalvery-fake.exe "${galvery[@]}" --sign cert.pem --key key.pem
grep -q "signing again with the signing time one second later" stderr.txt || fail "not signed again: $(cat stderr.txt)"
[ "$(tr '\n' ' ' < times.txt)" = "1709294400 1709294401 1709294402 " ] || fail "signing times: $(cat times.txt)"
expect_refused SetupGalvery-nosigner.exe "needs osslsigncode" \
  env MKSETUP_OSSLSIGNCODE=/nonexistent "$mksetup" build --stub stub.exe --product Galvery \
  --out SetupGalvery-nosigner.exe "${galvery[@]}" --sign cert.pem --key key.pem
osslsigncode sign -certs cert.pem -key key.pem -in stub.exe -out signed-stub.exe > /dev/null 2>&1
expect_refused SetupGalvery-new.exe "is signed, and its signature would not cover the archive" \
  "$mksetup" build --stub signed-stub.exe --product Galvery --out SetupGalvery-new.exe "${galvery[@]}"
expect_refused SetupGalvery-badkey.exe "failed (exit status" \
  "$mksetup" build --stub stub.exe --product Galvery --out SetupGalvery-badkey.exe "${galvery[@]}" \
  --sign cert.pem --key Galvery.HLP
echo "ok: signing"
echo "PASS mksetup_cli_test"
