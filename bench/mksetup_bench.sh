#!/usr/bin/env bash
# mksetup build against Info-ZIP's zip -q -r on the same files in the same run: time, peak
# memory, and the output's size against the input's, for incompressible data, text, and a
# product of both. With --old, an earlier mksetup is measured beside them.
#
#   bash bench/mksetup_bench.sh [--mib N] [--old OLD_MKSETUP] MKSETUP STUB
#
# N MiB of each kind of data (1024 unless given) are made in a temporary folder and removed
# at the end. Prints figures and asserts nothing.
set -euo pipefail

mib=1024
old=
while [ $# -gt 2 ]; do
  case "$1" in
    --mib) mib=$2; shift 2 ;;
    --old) old=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || { echo "usage: $0 [--mib N] [--old OLD_MKSETUP] MKSETUP STUB" >&2; exit 2; }
mksetup=$(realpath "$1")
stub=$(realpath "$2")
[ -z "$old" ] || old=$(realpath "$old")
command -v zip > /dev/null || { echo "zip is missing (apt-get install zip)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/var/tmp}/mksetup-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
size=$((mib * 1024 * 1024))

# Incompressible: an AES-CTR key stream (urandom where openssl is missing). Text: English
# prose, the system's license texts in blocks far longer than deflate's window, each with
# a heading of its own.
mkdir -p "$work/in/noise" "$work/in/text" "$work/in/both"
if command -v openssl > /dev/null; then
  { openssl enc -aes-128-ctr -K 000102030405060708090a0b0c0d0e0f -iv 0 -nosalt -in /dev/zero 2> /dev/null || true; } |
    head -c "$size" > "$work/in/noise/data.pak"
else
  head -c "$size" /dev/urandom > "$work/in/noise/data.pak"
fi
block="$work/block.txt"
for i in $(seq 1 16); do
  echo "Chapter $i"
  cat /usr/share/common-licenses/* 2> /dev/null || seq -f 'line %.0f of the manual' 1 20000
done > "$block"
{ while cat "$block"; do :; done 2> /dev/null || true; } | head -c "$size" > "$work/in/text/manual.txt"
ln "$work/in/noise/data.pak" "$work/in/both/data.pak"
ln "$work/in/text/manual.txt" "$work/in/both/manual.txt"
sync

stub_size=$(stat -c %s "$stub")
have_time=$([ -x /usr/bin/time ] && echo 1 || echo 0)

# measure OUT CMD...: runs CMD; sets $seconds and $peak_mib (the peak resident set).
measure() {
  local out=$1
  shift
  local start end
  start=$(date +%s.%N)
  if [ "$have_time" = 1 ]; then
    /usr/bin/time -f '%M' -o "$work/peak" "$@" > "$out" 2>&1 || { cat "$out" >&2; return 1; }
    peak_mib=$(($(tail -1 "$work/peak") / 1024))
  else
    "$@" > "$out" 2>&1 &
    local pid=$! hwm peak=0
    while kill -0 "$pid" 2> /dev/null; do
      hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2> /dev/null || true)
      [ -z "$hwm" ] || peak=$hwm
      sleep 0.05
    done
    wait "$pid" || { cat "$out" >&2; return 1; }
    peak_mib=$((peak / 1024))
  fi
  end=$(date +%s.%N)
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
}

row() {  # case tool seconds peak output input payload
  awk -v c="$1" -v t="$2" -v s="$3" -v m="$4" -v o="$5" -v i="$6" -v p="$7" 'BEGIN {
    printf "%-15s %-12s %8s s %7s MiB %14.0f %14.0f %+9.3f %%\n", c, t, s, m, o, i, (p - i) * 100 / i }'
}

printf "%-15s %-12s %10s %11s %14s %14s %10s\n" case tool time peak "output bytes" "input bytes" "payload"
for kind in noise text both; do
  input=$(du -b --apparent-size -c "$work/in/$kind"/* | tail -1 | cut -f1)
  label=$([ "$kind" = noise ] && echo incompressible || echo "$kind")

  rm -f "$work/out.zip"
  cd "$work/in/$kind"
  measure "$work/zip.log" zip -q -r "$work/out.zip" .
  cd - > /dev/null
  out=$(stat -c %s "$work/out.zip")
  row "$label" "zip -q -r" "$seconds" "$peak_mib" "$out" "$input" "$out"
  rm -f "$work/out.zip"

  for tool in mksetup ${old:+old-mksetup}; do
    binary=$([ "$tool" = mksetup ] && echo "$mksetup" || echo "$old")
    rm -f "$work/SetupGalvery.exe"
    measure "$work/$tool.log" "$binary" build --stub "$stub" --product Galvery --out "$work/SetupGalvery.exe" \
      --add-dir "d:/Galvery=$work/in/$kind"
    out=$(stat -c %s "$work/SetupGalvery.exe")
    # The payload column leaves the stub and the marker out: the archive against the data.
    row "$label" "$tool" "$seconds" "$peak_mib" "$out" "$input" $((out - stub_size - 8))
    rm -f "$work/SetupGalvery.exe"
  done
done
echo "payload: the archive's size (for mksetup without the stub of $stub_size bytes and the marker) against the data's"
