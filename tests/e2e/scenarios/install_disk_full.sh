#!/usr/bin/env bash
# A destination on a small disk: the install folder C:\small is a small tmpfs. Too small
# for the pack file and the files, the setup program says so before anything is written,
# naming the folder, the room needed and the room free, and the setup dialog stays open:
# the user types C:\small again once it is larger, and the product installs there whole.
# (Running out of room in the middle of the pack file or of an entry, which a check made
# beforehand cannot rule out, is handled as before: no partial file is left, and a file
# installed earlier stays as it was. Wine reports a short write as a success with fewer
# bytes written, so the count is compared.)
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
# mb BYTES: as the message gives sizes, in megabytes of 1,048,576 bytes.
mb() { awk -v b="$1" 'BEGIN { printf "%.1f MB", b / 1048576 }'; }
# What the setup program needs: the pack file and each file in whole pages of 4 KiB, and
# a megabyte of margin.
pages() { echo $(( ($1 + 4095) / 4096 * 4096 )); }
pack=$(( $(stat -c %s "$E2E_C/dl/SetupGalvery.exe") - $(stat -c %s "$E2E_STUB") - 8 ))
needed=$(( $(pages "$pack") + 1048576 ))
for f in first.txt last.txt big.bin; do needed=$(( needed + $(pages "$(stat -c %s "$w/$f")") )); done

mount_small 200k
free=$(df --output=avail -B1 "$small" | tail -n1)
e2e_report report 'c:\small\first.txt' 'c:\small\last.txt' 'c:\small\big.bin'
e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  type 1000 'c:\small' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "Not enough room on the disk for c:\\small: the installation needs $(mb "$needed"), and $(mb "$free") are free. Please make room, or choose another directory." 1 \
  click 1 \
  dialog 'Setup Galvery' \
  checkpoint "$(e2e_checkpoint larger)" \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0
grow() {
  [ -z "$(ls -A "$small")" ] || e2e_fail "C:\\small holds files after the message: $(ls -A "$small")"
  echo "e2e: nothing written to C:\\small; it grows to 2 MiB"
  mount -o remount,size=2m "$small" || e2e_fail "cannot grow the tmpfs on $small"
}
e2e_at_checkpoint larger grow
e2e_driver_wait || e2e_fail "the driver failed (see above)"
cmp <(tail -c "$pack" "$E2E_C/dl/SetupGalvery.exe") "$small/Galvery_pack.zip" || e2e_fail "the pack file is not the archive"
for f in first.txt last.txt big.bin; do cmp "$w/$f" "$small/$f" || e2e_fail "$f is not the packed file"; done
e2e_expect_listing 'C:\small' Galvery_pack.zip big.bin first.txt last.txt
echo "e2e: once the disk has room, the product installs there whole"
