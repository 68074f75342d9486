# shellcheck shell=bash
# What the installation scenarios share: the sample product, the texts the setup program
# shows while it installs, and checks on what it leaves behind. Source it after
# wine_env.sh.

: "${E2E_SAMPLE_DIR:=$E2E_WIN_DIR/sample}"
: "${E2E_LNK_PROBE:=$E2E_WIN_DIR/lnk_probe.exe}"

E2E_PACK='c:\Galvery\Galvery_pack.zip'
E2E_VENDOR_CONTACT='Problem in setup program. Please contact the vendor at support@tlvn-software.example'
E2E_SHORTCUT_QUESTION='Do you want to create a desktop shortcut icon for Galvery?'
# The one message for a setup file C:\dl\SetupGalvery.exe that is not whole.
E2E_DAMAGED='The setup file C:\dl\SetupGalvery.exe is incomplete or damaged. Please obtain a new copy of it and run it again.'
# Steps to splice into the driver's: the setup dialog taken as it stands and the agreement
# accepted; the shortcut question answered No, or Yes.
E2E_ACCEPT=(dialog 'Setup Galvery' click 1 dialog 'License Agreement' click 1)
E2E_NO_SHORTCUT=(msgbox SetupGalvery "$E2E_SHORTCUT_QUESTION" 6,7 click 7)
E2E_SHORTCUT=(msgbox SetupGalvery "$E2E_SHORTCUT_QUESTION" 6,7 click 6)
# The advice for c:\Galvery: the pack file and the folder, broken over three lines.
printf -v E2E_ADVICE '%s\n%s\n%s' \
  "Problem in automatic unpacking. Please use 'My Computer' to locate file $E2E_PACK in the" \
  'c:\Galvery folder and use an unZIP program to unpack it. This produces the program file' \
  'and its associated files.'

# e2e_report VAR PATH...: sets VAR to the report of unpacked files listing PATHs, each
# line ending in \n (kept in a variable: $(...) would drop the last line feed).
e2e_report() {
  local -n e2e_report_var="$1"
  local p
  shift
  e2e_report_var=$'Unpacked files:\n'
  for p in "$@"; do e2e_report_var+="$p"$'\n'; done
}

# e2e_le FILE OFFSET LENGTH: the little-endian number of LENGTH bytes at OFFSET.
e2e_le() {
  local b value=0 shift=0
  for b in $(od -An -tu1 -v -j "$2" -N "$3" "$1"); do
    value=$((value | b << shift))
    shift=$((shift + 8))
  done
  [ "$shift" = $(($3 * 8)) ] || e2e_fail "$1 ends before byte $(($2 + $3))"
  echo "$value"
}

# e2e_zip_entries ZIP: one line per local header, walked from the first byte:
#   <header offset> <method> <compressed size> <data offset> <UT write time or -> <name>
# Names with spaces are not expected here. Refuses what it cannot walk (a data descriptor
# leaves the sizes out of the local header).
e2e_zip_entries() {
  local zip="$1" at=0 size flags method csize nlen xlen name x xend id xsize mtime
  size=$(stat -c %s "$zip")
  while [ $((at + 30)) -le "$size" ] && [ "$(e2e_le "$zip" "$at" 4)" = $((0x04034b50)) ]; do
    flags=$(e2e_le "$zip" $((at + 6)) 2)
    (((flags & 8) == 0)) || e2e_fail "$zip: entry at $at has a data descriptor"
    method=$(e2e_le "$zip" $((at + 8)) 2)
    csize=$(e2e_le "$zip" $((at + 18)) 4)
    nlen=$(e2e_le "$zip" $((at + 26)) 2)
    xlen=$(e2e_le "$zip" $((at + 28)) 2)
    name=$(dd if="$zip" bs=1 skip=$((at + 30)) count="$nlen" status=none)
    mtime=-
    x=$((at + 30 + nlen))
    xend=$((x + xlen))
    while [ $((x + 4)) -le "$xend" ]; do
      id=$(e2e_le "$zip" "$x" 2)
      xsize=$(e2e_le "$zip" $((x + 2)) 2)
      # "UT": a flags byte, then the write time first when bit 0 is set.
      if [ "$id" = $((0x5455)) ] && [ "$xsize" -ge 5 ] && (($(e2e_le "$zip" $((x + 4)) 1) & 1)); then
        mtime=$(e2e_le "$zip" $((x + 5)) 4)
      fi
      x=$((x + 4 + xsize))
    done
    echo "$at $method $csize $xend $mtime $name"
    at=$((xend + csize))
  done
}

# e2e_archive_of SETUP OUT: the archive behind the stub and the marker in SETUP, written
# to OUT; fails unless SETUP is exactly the stub, UUUUUUUU and something behind it.
e2e_archive_of() {
  local stub_size; stub_size=$(stat -c %s "$E2E_STUB")
  cmp -s -n "$stub_size" "$E2E_STUB" "$1" || e2e_fail "$1 does not begin with the stub"
  [ "$(dd if="$1" bs=1 skip="$stub_size" count=8 status=none)" = UUUUUUUU ] ||
    e2e_fail "$1 has no marker right behind the stub"
  tail -c +$((stub_size + 9)) "$1" > "$2"
  [ -s "$2" ] || e2e_fail "$1 has nothing behind the marker"
}

# e2e_expect_listing 'C:\DIR' NAME...: DIR holds exactly these files and folders, by
# their exact names.
e2e_expect_listing() {
  local name="$1" dir got want; dir=$(e2e_unix_path "$1")
  shift
  [ -d "$dir" ] || e2e_fail "$name is no directory"
  got=$(find "$dir" -mindepth 1 -printf '%P\n' | sort | tr '\n' ' ')
  want=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
  [ "$got" = "$want" ] || e2e_fail "$name holds: ${got:-nothing}; expected ${want:-nothing}"
  echo "e2e: $name holds ${got:-nothing}"
}

# The current user's desktop as Linux sees it (wine_env.sh keeps it at $HOME/Desktop,
# which Windows calls C:\users\<user>\Desktop).
e2e_desktop() {
  printf '%s/Desktop\n' "$HOME"
}

e2e_expect_no_shortcut() {
  local found; found=$(find "$(e2e_desktop)" "$E2E_C/users" -iname '*.lnk' -print)
  [ -z "$found" ] || e2e_fail "a shortcut was written: $found"
  echo "e2e: no shortcut anywhere"
}

# e2e_zip_entry NAME METHOD DATA SIZE CRC EXTERNAL [UT_WRITE_TIME]: one entry of an
# archive begun with e2e_zip_begin (wine_env.sh); with UT_WRITE_TIME both headers carry
# a "UT" block holding that write time alone.
e2e_zip_entry() {
  local extra="$E2E_ZIP.extra"
  if [ -n "${7:-}" ]; then { printf 'UT'; e2e_le16 5; printf '\001'; e2e_le32 "$7"; } > "$extra"; else : > "$extra"; fi
  e2e_zip_add "$1" "$2" "$3" "$4" "$5" "$6" "$extra" "$extra"
  rm -f "$extra"
}

# e2e_setup_of ZIP OUT: stub, marker, ZIP, put together as they are (the packager would
# refuse a damaged archive). Fails unless the setup program would count exactly two markers.
e2e_setup_of() {
  { cat "$E2E_STUB"; printf 'UUUUUUUU'; cat "$1"; } > "$2"
  local markers; markers=$(grep -aob UUUUUUUU "$2" | wc -l)
  [ "$markers" = 2 ] || e2e_fail "$2 holds $markers markers, not 2"
}
