#!/usr/bin/env bash
# A full disk: the install folder C:\small is a small tmpfs. Too small for the pack file,
# the setup program says "Cannot save setup file", leaves no partial pack file, and ends
# with the vendor's address. Large enough for the pack file and the small entries but not
# for big.bin, the small entries are unpacked and listed, big.bin is reported ("Error
# unzipping big.bin.") and not listed, no part of it is left, and the advice follows.
# Then the same over a good big.bin already there, installed earlier: the disk fills up
# in the middle of the new big.bin, the same messages follow, and the old big.bin stays
# as it was, byte for byte and with its time. (Wine reports a short write as a success
# with fewer bytes written: the count must be compared.)
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
printf 'first\r\n' > "$w/first.txt"
printf 'last\r\n' > "$w/last.txt"
head -c 150000 /dev/urandom > "$w/big.bin"
e2e_make_zip "$w/payload.zip" "$w/first.txt" "$w/last.txt" "$w/big.bin"
e2e_make_setup "$E2E_C/dl/SetupGalvery.exe" "$w/payload.zip"

small="$E2E_C/small"
# mount_small SIZE: a fresh tmpfs of SIZE as C:\small.
mount_small() {
  if mountpoint -q "$small"; then umount "$small"; fi
  mkdir -p "$small"
  mount -t tmpfs -o "size=$1,mode=0777" tmpfs "$small" || e2e_fail "cannot mount a tmpfs on $small (root is needed)"
}
e2e_on_exit sh -c "! mountpoint -q '$small' || umount '$small'"
install() {
  e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    dialog 'Setup Galvery' \
    type 1000 'c:\small' \
    click 1 \
    dialog 'License Agreement' \
    click 1 \
    "$@"
}

mount_small 64k
printf -v nothing 'Unpacked files:\n'
install msgbox SetupGalvery 'Cannot save setup file' 1 click 1 \
  msgbox SetupGalvery 'ZIP file c:\small\Galvery_pack.zip not found' 1 click 1 \
  msgbox SetupGalvery "$nothing" 1 click 1 \
  msgbox SetupGalvery "$E2E_VENDOR_CONTACT" 1 click 1 \
  no-window 1 exit 0
e2e_expect_listing 'C:\small'
echo "e2e: a pack file that does not fit is reported and removed"

mount_small 200k
e2e_report report 'c:\small\first.txt' 'c:\small\last.txt'
printf -v advice '%s\n%s\n%s' \
  "Problem in automatic unpacking. Please use 'My Computer' to locate file c:\\small\\Galvery_pack.zip in the" \
  'c:\small folder and use an unZIP program to unpack it. This produces the program file' \
  'and its associated files.'
install msgbox SetupGalvery 'Error unzipping big.bin.' 1 click 1 \
  msgbox SetupGalvery "$report" 1 click 1 \
  msgbox SetupGalvery "$advice" 1 click 1 \
  msgbox SetupGalvery "$E2E_SHORTCUT_QUESTION" 6,7 click 7 \
  exit 0
cmp "$w/payload.zip" "$small/Galvery_pack.zip" || e2e_fail "the pack file is not the archive"
cmp "$w/first.txt" "$small/first.txt" && cmp "$w/last.txt" "$small/last.txt" || e2e_fail "a small entry is not the packed file"
e2e_expect_listing 'C:\small' Galvery_pack.zip first.txt last.txt
echo "e2e: an entry that does not fit is reported and not listed; the others are unpacked"

# 200 KiB hold the pack file (37 pages of 4 KiB), first.txt, last.txt and the old big.bin
# (3 pages): the new big.bin gets the 8 pages left, a part of its 150,000 bytes.
head -c 10000 /dev/urandom > "$w/big.old"
cp "$w/big.old" "$small/big.bin"
touch -d @1400000000 "$small/big.bin"
# The pack file is rewritten the same size, and first.txt and last.txt each need one page
# for a moment: what is free now is what the new big.bin can get before the disk is full.
free=$(df --output=avail -B1 "$small" | tail -n1)
((free > 16384 && free < 150000)) || e2e_fail "C:\small has $free bytes free: the new big.bin would not fill it in its middle"
install msgbox SetupGalvery 'Error unzipping big.bin.' 1 click 1 \
  msgbox SetupGalvery "$report" 1 click 1 \
  msgbox SetupGalvery "$advice" 1 click 1 \
  msgbox SetupGalvery "$E2E_SHORTCUT_QUESTION" 6,7 click 7 \
  exit 0
e2e_expect_listing 'C:\small' Galvery_pack.zip big.bin first.txt last.txt
cmp "$w/big.old" "$small/big.bin" || e2e_fail "the old big.bin was changed"
[ "$(stat -c %Y "$small/big.bin")" = 1400000000 ] || e2e_fail "the old big.bin lost its time"
echo "e2e: the old big.bin stays as it was when the disk fills up under the new one"
