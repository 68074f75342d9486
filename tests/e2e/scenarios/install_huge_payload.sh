#!/usr/bin/env bash
# e2e-timeout: 900
# A setup file beyond 2 GiB, built by mksetup from a mixed product (two files of 1100 MiB of
# incompressible data, which it stores, and 300 MiB of text, which it deflates), where a
# signed 32-bit size or file position would wrap. mksetup streams the files through fixed
# buffers; its time and peak memory are printed. The setup program copies the archive
# out and unpacks it through buffers of fixed size: its peak memory stays that of a small
# setup file, plus a few megabytes, where reading the whole file would take 2.3 GB; and its
# windows answer throughout (a progress window shows the bytes written), where one long
# stretch of work would leave them "Not Responding". Every file is checked whole.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
command -v openssl > /dev/null || e2e_fail "openssl is missing (scripts/bootstrap.sh installs it)"
e2e_init

parts=(part1.bin part2.bin manual.txt)
part_size=$((1100 * 1024 * 1024))
text_size=$((300 * 1024 * 1024))
# part N: an AES-CTR key stream, incompressible and made again at will, so the files need
# not be kept on disk for the comparison; part 3, text that deflates to a thirtieth.
# head ends the endless stream: the broken pipe is how openssl is meant to stop.
part() {
  if [ "$1" = 3 ]; then
    { seq -f 'paragraph %.0f: the product keeps its settings in the folder it was installed to' 1 20000000 || true; } |
      head -c "$text_size"
    return
  fi
  { openssl enc -aes-128-ctr -K "$(printf '%032x' "$1")" -iv 0 -nosalt -in /dev/zero 2>/dev/null || true; } |
    head -c "$part_size"
}

# install SETUP STEPS...: runs the setup file to the report, takes the program's peak
# memory at the report into $peak, and goes on with STEPS.
install() {
  local setup="$1"
  shift
  E2E_CHECKPOINT_WAIT=600 e2e_driver_async timeout 600 \
    start "$setup" "\"$setup\"" \
    dialog 'Setup Galvery' \
    click 1 \
    dialog 'License Agreement' \
    responsive 2 \
    click 1 \
    msgbox SetupGalvery "$report" 1 \
    checkpoint "$(e2e_checkpoint report)" \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
  E2E_CHECKPOINT_WAIT=600 e2e_at_checkpoint report take_peak "$setup"
  e2e_driver_wait || e2e_fail "the driver failed (see above)"
}
take_peak() { peak=$(e2e_peak_memory "$1"); }

# The same program on a small setup file first: what Wine and a setup with its windows
# take anyway.
e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_report report 'c:\Galvery\readme.txt'
install 'C:\dl\SetupGalvery.exe'
baseline=$peak
echo "e2e: a small setup file: peak memory $((baseline / 1024)) MiB"
rm -rf "$E2E_C/Galvery" "$E2E_C/dl"

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
start=$(e2e_now)
for i in 1 2 3; do part "$i" > "$w/${parts[i - 1]}"; done
echo "e2e: the product's files made in $(e2e_since "$start")"
huge='C:\dl\SetupGalvery.exe'
start=$(e2e_now)
adds=()
for p in "${parts[@]}"; do adds+=(--add "d:/Galvery/$p=$w/$p"); done
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$(e2e_unix_path "$huge")" "${adds[@]}" \
  > "$w/mksetup.out" 2>&1 &
pid=$!
# Its peak memory: the high-water mark, sampled until it ends.
packer_peak=0
while kill -0 "$pid" 2> /dev/null; do
  hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2> /dev/null || true)
  [ -z "$hwm" ] || packer_peak=$hwm
  sleep 0.2
done
wait "$pid" || e2e_fail "mksetup failed: $(tail -5 "$w/mksetup.out")"
echo "e2e: mksetup built it in $(e2e_since "$start"), peak memory $((packer_peak / 1024)) MiB (with the sanitizers)"
rm -f "${parts[@]/#/$w/}"
size=$(stat -c %s "$(e2e_unix_path "$huge")")
echo "e2e: a setup file of $((size / 1024 / 1024)) MiB"
[ "$size" -gt $((2048 * 1024 * 1024)) ] || e2e_fail "the setup file is not beyond 2 GiB"
# The incompressible parts are stored, the text deflated.
"$E2E_MKSETUP" list "$(e2e_unix_path "$huge")" > "$w/list.txt" || e2e_fail "mksetup list failed: $(tail -3 "$w/list.txt")"
for p in part1.bin part2.bin; do
  grep -Eq "^ +$p +$part_size +$part_size +stored " "$w/list.txt" || e2e_fail "$p is not stored: $(cat "$w/list.txt")"
done
grep -Eq "^ +manual.txt +$text_size +[0-9]+ +deflated " "$w/list.txt" ||
  e2e_fail "manual.txt is not deflated: $(cat "$w/list.txt")"

e2e_report report 'c:\Galvery\part1.bin' 'c:\Galvery\part2.bin' 'c:\Galvery\manual.txt'
start=$(e2e_now)
install "$huge"
echo "e2e: installed in $(e2e_since "$start"), peak memory $((peak / 1024)) MiB"
# An installation of seconds shows its progress window, over the setup dialog and with
# its caption, once it has run a second.
shown=$(awk '/ #32770 Setup Galvery$/ { print $1 }' "$E2E_WORK/spy.log" | sort -u | wc -l)
[ "$shown" -ge 2 ] || e2e_fail "no progress window showed over the setup dialog: $(cat "$E2E_WORK/spy.log")"

# The copy buffer is a megabyte, the unpacking one 256 KiB with zlib's and minizip's small
# state; a few megabytes more than the small setup file's peak covers them and what the
# allocator keeps, and is far from the 2.3 GB of a whole-file read.
bound=$((baseline + 8 * 1024))
[ "$peak" -le "$bound" ] ||
  e2e_fail "the peak memory was $((peak / 1024)) MiB, over the small setup file's $((baseline / 1024)) MiB plus 8 MiB"

e2e_expect_listing 'C:\Galvery' "${parts[@]}" Galvery_pack.zip
[ "$(stat -c %s "$E2E_C/Galvery/Galvery_pack.zip")" = $((size - $(stat -c %s "$E2E_STUB") - 8)) ] ||
  e2e_fail "the pack file is not the whole archive"
for i in 1 2 3; do
  cmp <(part "$i") "$E2E_C/Galvery/${parts[i - 1]}" || e2e_fail "${parts[i - 1]} is not the packed file"
done
echo "e2e: every file is the packed one, byte for byte"
