#!/usr/bin/env bash
# Two clean builds of one source in two different folders give the same Windows images,
# byte for byte: the stub setup.exe and the packager tools/mksetup.exe, of both the win32
# and the win64 preset.
#   same_images.sh TOP DEPS WORK WIN32_DIR WIN64_DIR
# TOP is the source the build trees WIN32_DIR and WIN64_DIR were built from, DEPS the
# folder bootstrap.sh unpacked the minizip sources into. The second build copies TOP's
# source files as they are in its work tree (git's tracked and untracked-but-not-ignored
# files, uncommitted changes included) into WORK/src, with the minizip sources in its own
# .cache, and builds the two presets' targets into binary folders beside it, not inside
# it: another source folder and another build folder, placed differently.
#
# The PE time stamp must be SOURCE_DATE_EPOCH when set, else the time of TOP's commit: the
# first build took it from git, the second, whose copy has no git, takes it from
# SOURCE_DATE_EPOCH; both must give the same bytes.
set -euo pipefail
[ $# = 5 ] || { echo "usage: same_images.sh TOP DEPS WORK WIN32_DIR WIN64_DIR" >&2; exit 2; }
top=$1 deps=$2 work=$3
declare -A first=([win32]=$4 [win64]=$5)
images=(setup.exe tools/mksetup.exe)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# pe_time_stamp FILE: the time stamp of the PE file header (4 bytes, 8 bytes behind the
# "PE\0\0" signature, whose offset is at 0x3C).
le32() { od -An -tu4 -j "$2" -N 4 "$1" | tr -d ' '; }
pe_time_stamp() {
  local pe; pe=$(le32 "$1" 60)
  [ "$(od -An -c -j "$pe" -N 2 "$1" | tr -d ' ')" = PE ] || fail "$1 is no PE image"
  le32 "$1" $((pe + 8))
}

for arch in win32 win64; do
  for image in "${images[@]}"; do
    [ -f "${first[$arch]}/$image" ] || fail "${first[$arch]}/$image not found: build the $arch preset first"
  done
done

if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  stamp=$SOURCE_DATE_EPOCH from=SOURCE_DATE_EPOCH
elif stamp=$(git -C "$top" log -1 --format=%ct 2>/dev/null); then
  from="the commit's time"
else
  stamp=0 from="no commit"
fi
for arch in win32 win64; do
  for image in "${images[@]}"; do
    got=$(pe_time_stamp "${first[$arch]}/$image")
    [ "$got" = "$stamp" ] || fail "${first[$arch]}/$image has the time stamp $got, not $stamp ($from): built before the last commit? Build it again"
  done
done
echo "same_images: the images' time stamp is $stamp ($from)"

start=$(date +%s)
rm -rf "$work"
mkdir -p "$work/src/.cache/deps"
if git -C "$top" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$top" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
     xargs -0 cp --parents -t "$work/src")
else
  tar -C "$top" --exclude=./build --exclude=./.cache -cf - . | tar -C "$work/src" -xf -
fi
cp -r "$deps/minizip" "$work/src/.cache/deps/"

status=0
for arch in win32 win64; do
  (cd "$work/src" && SOURCE_DATE_EPOCH=$stamp cmake --preset "$arch" -B "$work/build-$arch" > "$work/$arch.configure.log") ||
    fail "configuring the second $arch build failed (see $work/$arch.configure.log)"
  cmake --build "$work/build-$arch" --target setup mksetup --parallel 2 > "$work/$arch.build.log" ||
    fail "the second $arch build failed (see $work/$arch.build.log)"
  for image in "${images[@]}"; do
    a="${first[$arch]}/$image" b="$work/build-$arch/$image"
    if cmp -s "$a" "$b"; then
      echo "same_images: $arch $image: the same $(stat -c %s "$a") bytes"
    else
      echo "FAIL: $arch $image differs between $a and $b ($(cmp -l "$a" "$b" 2>/dev/null | wc -l) bytes differ; the first, as offset and octal values):" >&2
      cmp -l "$a" "$b" 2>&1 | head -n 10 >&2
      status=1
    fi
  done
done
echo "same_images: the second build took $(( $(date +%s) - start )) s"
[ "$status" = 0 ] || fail "the images are not reproducible; the second build stays in $work"
rm -rf "$work"
echo "PASS same_images"
