#!/usr/bin/env bash
# The win32 tests skip only where the kernel cannot start a 32-bit program at all, or
# where bootstrap recorded that the package archive could not supply wine32 today, and
# say so; everything else that keeps 32-bit Wine from starting fails them. Played with
# stand-ins for the 32-bit loader, no Wine needed: a program for another machine, which
# the kernel refuses to execute as it refuses i386 programs without 32-bit support; a
# missing loader (wine32 not installed), with and without bootstrap's record; a loader
# that starts and fails.
#   cannot_run_32bit.sh WORK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work="$1"
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A copy of true(1) marked as a program for another machine (e_machine, two bytes at 18:
# 0x28, ARM; 0xB7, AArch64, on an ARM host).
foreign="$work/foreign-wine"
cp "$(type -P true)" "$foreign"
case "$(uname -m)" in arm*|aarch64) machine='\267\000' ;; *) machine='\050\000' ;; esac
printf "$machine" | dd of="$foreign" bs=1 seek=18 conv=notrunc status=none
chmod +x "$foreign"
status=0
"$foreign" 2>/dev/null || status=$?
[ "$status" = 126 ] || fail "the stand-in for a refused 32-bit loader ran (exit status $status)"

# bootstrap's record that the archive could not supply wine32, and a dpkg-query that
# answers for wine32:i386 as WINE32_STATUS says (this machine's own may have it or not).
record_deps="$work/deps-archive"
mkdir -p "$record_deps" "$work/bin"
echo 'the package archive cannot supply wine32:i386 today: apt says "E: Unable to correct problems, you have held broken packages."' \
  > "$record_deps/wine32-unavailable"
cat > "$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
[ "$WINE32_STATUS" = installed ] || { echo "dpkg-query: no packages found matching wine32:i386" >&2; exit 1; }
printf 'install ok installed'
STANDIN
chmod +x "$work/bin/dpkg-query"
archive=(SETUP_DEPS_DIR="$record_deps" PATH="$work/bin:$PATH" WINE32_STATUS=absent)

# run NAME WANT [VAR=VALUE...] -- COMMAND...: COMMAND with E2E_ARCH=win32 and the
# variables given must end with status WANT; its output goes to $work/NAME.out. Unless
# given, bootstrap has recorded nothing.
run() {
  local name="$1" want="$2" vars=() status=0
  shift 2
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  env -u E2E_REQUIRE_WIN32 E2E_ARCH=win32 SETUP_DEPS_DIR="$work/deps" "${vars[@]}" "$@" > "$work/$name.out" 2>&1 || status=$?
  [ "$status" = "$want" ] || fail "$name: exit status $status, not $want: $(cat "$work/$name.out")"
  echo "$name: exit status $status"
}

template="$work/template"
run refused 77 E2E_WINE="$foreign" -- bash "$here/make_template.sh" "$template"
grep -qx "WARNING: this machine cannot run 32-bit Windows programs (.*): the win32 end-to-end tests were NOT run" \
  "$work/refused.out" || fail "no warning line in: $(cat "$work/refused.out")"
[ -s "$template/unsupported" ] || fail "the template does not record why it was not booted"
[ ! -e "$template/prefix" ] && [ ! -e "$template/ready" ] || fail "a prefix was booted all the same"
echo "refused: the warning is printed and no prefix booted"

# A scenario then skips, saying so, before it starts anything.
scenario=(bash "$here/scenarios/galvery_cancel.sh")
run skipped 77 E2E_TEMPLATE="$template" E2E_WORK="$work/scenario" -- "${scenario[@]}"
grep -q '^SKIP win32 galvery_cancel: this machine cannot run 32-bit programs' "$work/skipped.out" ||
  fail "the skipped scenario does not say why: $(cat "$work/skipped.out")"
# Where the win32 tests must run, the same machine fails them; a record of the archive's
# excuses only a missing loader.
run required-template 1 E2E_WINE="$foreign" E2E_REQUIRE_WIN32=1 "${archive[@]}" -- bash "$here/make_template.sh" "$template"
run required-scenario 1 E2E_WINE="$foreign" E2E_TEMPLATE="$template" E2E_WORK="$work/scenario" E2E_REQUIRE_WIN32=1 \
  "${archive[@]}" -- "${scenario[@]}"

# The archive could not supply wine32 today: skipped even where the tests must run, and
# the warning gives apt's reason.
run archive 77 E2E_WINE="$work/no-such-wine" E2E_REQUIRE_WIN32=1 "${archive[@]}" -- bash "$here/make_template.sh" "$work/t-archive"
grep -qxF "WARNING: this machine cannot run 32-bit Windows programs ($(cat "$record_deps/wine32-unavailable")): the win32 end-to-end tests were NOT run" \
  "$work/archive.out" || fail "archive: no warning with apt's reason in: $(cat "$work/archive.out")"
cmp -s "$record_deps/wine32-unavailable" "$work/t-archive/unsupported" || fail "archive: the template does not record apt's reason"
run archive-scenario 77 E2E_WINE="$work/no-such-wine" E2E_TEMPLATE="$work/t-archive" E2E_WORK="$work/scenario" \
  E2E_REQUIRE_WIN32=1 "${archive[@]}" -- "${scenario[@]}"
grep -q '^SKIP win32 galvery_cancel: .*held broken packages' "$work/archive-scenario.out" ||
  fail "archive-scenario: the skip does not give apt's reason: $(cat "$work/archive-scenario.out")"
# A record beside an installed wine32 explains nothing: its loader missing is a fault.
run archive-stale 1 E2E_WINE="$work/no-such-wine" "${archive[@]}" WINE32_STATUS=installed -- \
  bash "$here/make_template.sh" "$work/t-stale"
grep -q 'run scripts/bootstrap.sh' "$work/archive-stale.out" || fail "archive-stale: no hint: $(cat "$work/archive-stale.out")"

# A fault in Wine is no reason to skip: the template fails and records nothing.
run missing 1 E2E_WINE="$work/no-such-wine" -- bash "$here/make_template.sh" "$work/t-missing"
grep -q 'run scripts/bootstrap.sh' "$work/missing.out" || fail "missing: no hint: $(cat "$work/missing.out")"
run broken 1 E2E_WINE="$(type -P false)" -- bash "$here/make_template.sh" "$work/t-broken"
for t in t-missing t-broken t-stale; do
  [ ! -e "$work/$t/unsupported" ] || fail "$t: a fault was recorded as a machine that cannot run 32-bit programs"
done
# The win64 template never asks.
run win64 1 E2E_ARCH=win64 E2E_WINE="$(type -P false)" -- bash "$here/make_template.sh" "$work/t-win64"
[ ! -e "$work/t-win64/unsupported" ] || fail "the win64 template was taken as unsupported"
rm -rf "$work"
echo "PASS cannot_run_32bit"
