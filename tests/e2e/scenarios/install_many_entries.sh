#!/usr/bin/env bash
# e2e-timeout: 1200
# An archive of 65,536 entries, both ways it comes: written with ZIP64 (Info-ZIP's zip,
# then mksetup, which builds the setup file), and written as by a tool without ZIP64,
# whose end record counts the entries modulo 65,536: 0. Either way every entry is
# installed; before, the second showed an empty "Unpacked files:" and offered the
# shortcut as if the product were installed. The entries are d<k>/f<n>.txt, 256 folders of
# 256 files, so each base name comes 256 times and the last one written stays (Wine
# looks a new file's name up case-insensitively in the whole folder, so 65,536 different
# names in one folder would take many minutes; 256 keep the run near a minute). The
# report lists the files that fit a message box, then how many more there are.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
command -v zip >/dev/null || e2e_fail "Info-ZIP's zip is missing: run scripts/bootstrap.sh"
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w/files" "$E2E_C/dl"
for ((k = 0; k < 256; ++k)); do mkdir "$w/files/d$k"; done
for ((i = 0; i < 65536; ++i)); do printf 'entry %d\r\n' "$i" > "$w/files/d$((i >> 8))/f$((i & 255)).txt"; done
(cd "$w/files" && zip -q -0 -D -X -r "$w/zip64.zip" .) || e2e_fail "zip failed"
[ "$(unzip -Z1 "$w/zip64.zip" | wc -l)" = 65536 ] || e2e_fail "zip did not store 65,536 entries"

# The same archive as a writer without ZIP64 leaves it: no ZIP64 end record and locator
# (56 and 20 bytes in front of the end record), and the end record's counts at 0.
size=$(stat -c %s "$w/zip64.zip")
[ "$(e2e_le "$w/zip64.zip" $((size - 98)) 4)" = $((0x06064b50)) ] &&
  [ "$(e2e_le "$w/zip64.zip" $((size - 42)) 4)" = $((0x07064b50)) ] || e2e_fail "zip wrote no ZIP64 end record where expected"
{
  head -c $((size - 98)) "$w/zip64.zip"
  tail -c 22 "$w/zip64.zip" | head -c 8
  e2e_le16 0; e2e_le16 0
  tail -c 10 "$w/zip64.zip"
} > "$w/wrapped.zip"
[ "$(e2e_le "$w/wrapped.zip" $((size - 98 + 10)) 2)" = 0 ] || e2e_fail "the wrapped archive's end record does not count 0"

"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --zip "$w/zip64.zip" --out "$w/SetupGalvery.zip64" \
  > "$w/build.txt" 2>&1 || e2e_fail "mksetup refused the ZIP64 archive: $(cat "$w/build.txt")"
e2e_setup_of "$w/wrapped.zip" "$w/SetupGalvery.wrapped"

# The report as the setup program shows it: the entries' base names in archive order up
# to 30,000 characters, less room for the line that says how many more there are (32), then
# that line; and the last entry of each base name.
unzip -Z1 "$w/zip64.zip" > "$w/names.txt"
awk '{ n = split($0, p, "/"); line = "c:\\Galvery\\" p[n] "\n"
       if (more || total + length(line) > 30000 - 16 - 32) { more++ } else { report = report line; total += length(line) } }
     END { printf "Unpacked files:\n%sand %d more files\n", report, more }' "$w/names.txt" > "$w/report.txt"
awk '{ n = split($0, p, "/"); last[p[n]] = $0 } END { for (b in last) print b, last[b] }' "$w/names.txt" > "$w/last.txt"

for way in zip64 wrapped; do
  rm -rf "$E2E_C/Galvery"
  cp "$w/SetupGalvery.$way" "$E2E_C/dl/SetupGalvery.exe"
  start=$(e2e_now)
  e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    timeout 400 \
    msgbox-file SetupGalvery "$(e2e_windows_path "$w/report.txt")" 1 \
    timeout 10 \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
  echo "e2e: $way: 65,536 entries installed in $(e2e_since "$start")"
  [ "$(find "$E2E_C/Galvery" -type f | wc -l)" = 257 ] || e2e_fail "$way: C:\\Galvery holds $(find "$E2E_C/Galvery" -type f | wc -l) files, not 256 and the pack file"
  while read -r base stored; do
    cmp -s "$w/files/$stored" "$E2E_C/Galvery/$base" || e2e_fail "$way: C:\\Galvery\\$base is not the last entry of that name, $stored"
  done < "$w/last.txt"
  echo "e2e: $way: every file holds the last entry of its name"
done
