#!/usr/bin/env bash
# mksetup installed as a vendor installs it: `cmake --install` of this build into a
# temporary prefix gives the tool, its manual page and the 32-bit stub; the installed
# tool, moved elsewhere, builds a setup file from a folder with --add-dir and no --stub,
# with that stub in front, and verify accepts it.
#   mksetup_install_test.sh CMAKE BUILD_DIR WIN32_BUILD_DIR SOURCE_DIR
set -euo pipefail
cmake=$1 build=$2 win32=$3 source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ -f "$win32/setup.exe" ] || fail "no stub at $win32/setup.exe: build the win32 preset first"
"$cmake" --install "$build" --prefix "$work/first" > "$work/install.txt" 2>&1 || fail "cmake --install failed: $(cat "$work/install.txt")"
# A moved installation finds its own stub, not the one it was installed with.
mv "$work/first" "$work/prefix"
prefix="$work/prefix"
mksetup="$prefix/bin/mksetup"
[ -x "$mksetup" ] || fail "no bin/mksetup in the prefix: $(cat "$work/install.txt")"
cmp -s "$win32/setup.exe" "$prefix/share/mksetup/setup-win32.exe" || fail "the installed stub is not the win32 build's"

# --version names that stub and the file version its resource script gives it.
want=$(sed -n 's/^ *FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' "$source/res/setup.rc")
[ -n "$want" ] || fail "no FILEVERSION in res/setup.rc"
"$mksetup" --version > "$work/version.txt" || fail "--version failed"
grep -qx "stub: $prefix/share/mksetup/setup-win32.exe, file version $want" "$work/version.txt" ||
  fail "--version does not name the installed stub as $want: $(cat "$work/version.txt")"

# The manual page is the help: every option --help names is one of its entries.
page="$prefix/share/man/man1/mksetup.1"
[ -f "$page" ] || fail "no manual page at $page"
MANWIDTH=100 man -l "$page" > "$work/man.txt" 2> "$work/man.err" || fail "man cannot show the page: $(cat "$work/man.err")"
[ ! -s "$work/man.err" ] || fail "man warns about the page: $(cat "$work/man.err")"
"$mksetup" --help | grep -Eo '^  --[a-z-]+( [A-Z=]+)*' | sed 's/^ *//' | sort -u > "$work/options.txt"
[ "$(wc -l < "$work/options.txt")" -ge 8 ] || fail "too few options found in --help: $(cat "$work/options.txt")"
while read -r option; do
  grep -qE "^ {7}$option( |\$)" "$work/man.txt" || fail "the manual page has no entry for '$option'"
done < "$work/options.txt"

# A vendor's build output, as a folder.
dist="$work/Galvery dist"
mkdir -p "$dist/RELEASE" "$dist/HLP"
printf 'program\n' > "$dist/RELEASE/Galvery.EXE"
printf 'help\r\n' > "$dist/HLP/Galvery.HLP"
printf 'notes\n' > "$dist/README.TXT"
(cd "$work" && "$mksetup" build --product Galvery --out SetupGalvery.exe --add-dir "d:/Galvery=$dist") \
  > "$work/build.txt" 2>&1 || fail "build without --stub failed: $(cat "$work/build.txt")"
setup="$work/SetupGalvery.exe"
stub_size=$(stat -c %s "$prefix/share/mksetup/setup-win32.exe")
cmp -s -n "$stub_size" "$setup" "$prefix/share/mksetup/setup-win32.exe" || fail "the setup file does not start with the installed stub"
"$mksetup" verify --product Galvery "$setup" > "$work/verify.txt" 2>&1 || fail "verify refuses it: $(cat "$work/verify.txt")"
grep -q '^verified: 3 entries' "$work/verify.txt" || fail "verify says: $(cat "$work/verify.txt")"
[ "$(grep -Eo 'd:/Galvery/[^ ]+$' "$work/verify.txt" | tr '\n' ' ')" = \
  "d:/Galvery/HLP/Galvery.HLP d:/Galvery/README.TXT d:/Galvery/RELEASE/Galvery.EXE " ] ||
  fail "the entries are not the folder's files in path order: $(cat "$work/verify.txt")"
echo "PASS mksetup_install_test"
