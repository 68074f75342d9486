#!/usr/bin/env bash
# e2e-timeout: 300
# Archives as vendors make them with the tools they use, put behind the stub as written:
# Info-ZIP's zip -r and 7-Zip (UTF-8 flag on names beyond ASCII, a folder entry, 7-Zip
# storing what deflating cannot shrink), jar (data descriptors, UTF-8 flag on every name),
# Python's zipfile writing to a pipe (data descriptors). On a Western system (code page
# 1252) each installs every file flat, byte for byte, under its true name, Ελλάδα.txt too;
# a folder entry makes its folder; the report follows the archive's order.
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
for tool in zip 7zz jar python3; do
  command -v "$tool" > /dev/null || e2e_fail "$tool is missing: run scripts/bootstrap.sh"
done
locale -a | grep -qix 'en_US.utf-\{0,1\}8' || e2e_fail "the en_US.UTF-8 locale is missing: run scripts/bootstrap.sh"
e2e_init

src="$E2E_WORK/src"
w="$E2E_WORK/vendor"
mkdir -p "$src/HLP" "$w" "$E2E_C/dl"
head -c 300000 /dev/urandom > "$src/Galvery.EXE"
for i in $(seq 2000); do printf 'help line %d\r\n' "$i"; done > "$src/HLP/Galvery.hlp"
printf 'size\r\n' > "$src/Größe.txt"
printf 'greece\r\n' > "$src/Ελλάδα.txt"
: > "$src/empty.dat"
files=(Galvery.EXE Galvery.hlp Größe.txt Ελλάδα.txt empty.dat)

(cd "$src" && zip -q -r "$w/zip.zip" .) || e2e_fail "zip failed"
(cd "$src" && 7zz a -tzip -bso0 -bsp0 "$w/7zip.zip" .) || e2e_fail "7-Zip failed"
(cd "$src" && jar cfM "$w/jar.zip" .) || e2e_fail "jar failed"
# Written to a pipe, zipfile cannot seek back to the local header: sizes and CRC follow
# the data in descriptors.
(cd "$src" && python3 -c '
import os, sys, zipfile
with zipfile.ZipFile(sys.stdout.buffer, "w", zipfile.ZIP_DEFLATED) as z:
    for root, dirs, names in sorted(os.walk(".")):
        for n in sorted(names):
            z.write(os.path.join(root, n)[2:])
' | cat > "$w/python.zip") || e2e_fail "python3's zipfile failed"

# The names in each archive's order, as Python reads them (an independent reader).
names_of() {
  python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$1"
}

for archive in zip 7zip jar python; do
  rm -rf "$E2E_C/Galvery"
  mapfile -t names < <(names_of "$w/$archive.zip")
  lines=()
  folders=()
  for n in "${names[@]}"; do
    lines+=("c:\\Galvery\\${n##*/}")
    [[ "$n" != */ ]] || { n=${n%/}; folders+=("${n##*/}"); }
  done
  e2e_report report "${lines[@]}"
  e2e_setup_of "$w/$archive.zip" "$E2E_C/dl/SetupGalvery.exe"
  e2e_driver codepage 1252 \
    start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    "${E2E_ACCEPT[@]}" \
    msgbox SetupGalvery "$report" 1 \
    click 1 \
    "${E2E_NO_SHORTCUT[@]}" \
    exit 0
  e2e_expect_listing 'C:\Galvery' "${files[@]}" "${folders[@]}" Galvery_pack.zip
  cmp "$src/HLP/Galvery.hlp" "$E2E_C/Galvery/Galvery.hlp" || e2e_fail "$archive: Galvery.hlp is not the packed file"
  for f in Galvery.EXE Größe.txt Ελλάδα.txt empty.dat; do
    cmp "$src/$f" "$E2E_C/Galvery/$f" || e2e_fail "$archive: $f is not the packed file"
  done
  echo "e2e: the $archive archive installs whole"
done
