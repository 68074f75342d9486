#!/usr/bin/env bash
# What bootstrap.sh decides on good days and bad ones: which packages it installs, when it
# stops, when it records that the package archive cannot supply wine32, and the last line
# it ends with. Played on stand-ins for apt-get, dpkg, dpkg-query and locale, first on
# PATH, which keep each machine's packages in a file: the real system is never touched.
#   decisions.sh WORK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bootstrap="$here/../../scripts/bootstrap.sh"
work="$1"
rm -rf "$work"
mkdir -p "$work/bin"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The stand-ins. FAKE_MACHINE is the machine's folder: arches (dpkg's foreign
# architectures), installed (one package a line), updates (a count). FAKE_UPDATE_FAILS:
# how many updates fail on the security archive's i386 index before it heals.
# FAKE_UNKNOWN, FAKE_BROKEN: patterns of packages apt cannot find, or cannot install for
# their dependencies; either fails the whole transaction, as apt does.
cat > "$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
set -euo pipefail -f
m=$FAKE_MACHINE
case "$1" in
  update)
    echo $(($(cat "$m/updates") + 1)) > "$m/updates"
    if (($(cat "$m/updates") <= ${FAKE_UPDATE_FAILS:-0})); then
      echo "Err:4 http://deb.example/debian-security bookworm-security/main i386 Packages"
      echo "E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    echo "Reading package lists..." ;;
  install)
    shift
    wanted=()
    for a; do [[ $a == -* ]] || wanted+=("$a"); done
    for p in "${wanted[@]}"; do
      known=1
      [[ $p != *:i386 ]] || grep -qx i386 "$m/arches" || known=0
      for g in ${FAKE_UNKNOWN:-}; do [[ $p != $g ]] || known=0; done
      ((known)) || { echo "E: Unable to locate package $p"; exit 100; }
    done
    for p in "${wanted[@]}"; do
      for g in ${FAKE_BROKEN:-}; do
        if [[ $p == $g ]]; then
          echo "The following packages have unmet dependencies:"
          echo " $p : Depends: libc6 (= 2.36-9+deb12u9) but 2.36-9+deb12u13 is to be installed"
          echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."
          exit 100
        fi
      done
    done
    printf '%s\n' "${wanted[@]}" >> "$m/installed" ;;
  *) echo "apt-get $*" >> "$m/unexpected"; exit 2 ;;
esac
STANDIN
cat > "$work/bin/dpkg" <<'STANDIN'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$FAKE_MACHINE/arches" ;;
  --add-architecture) echo "$2" >> "$FAKE_MACHINE/arches" ;;
  *) echo "dpkg $*" >> "$FAKE_MACHINE/unexpected"; exit 2 ;;
esac
STANDIN
cat > "$work/bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
p="${*: -1}"
grep -qxF -- "$p" "$FAKE_MACHINE/installed" || { echo "dpkg-query: no packages found matching $p" >&2; exit 1; }
printf 'install ok installed'
STANDIN
cat > "$work/bin/locale" <<'STANDIN'
#!/usr/bin/env bash
[ "$1" = -a ] || { echo "locale $*" >> "$FAKE_MACHINE/unexpected"; exit 2; }
printf 'C\nC.utf8\nen_US.utf8\nja_JP.utf8\nPOSIX\n'
STANDIN
cat > "$work/bin/localedef" <<'STANDIN'
#!/usr/bin/env bash
echo "localedef $*" >> "$FAKE_MACHINE/unexpected"
exit 2
STANDIN
chmod +x "$work/bin"/*

# machine NAME: a fresh Debian machine with nothing installed and i386 unknown to dpkg;
# minizip is already unpacked in its deps folder, so nothing is fetched.
machine() {
  m="$work/$1"
  mkdir -p "$m/deps/minizip"
  : > "$m/arches"
  : > "$m/installed"
  : > "$m/deps/minizip/unzip.c"
}

# bootstrap CASE WANT [VAR=VALUE...]: bootstrap on the current machine must end with
# status WANT; its output goes to $work/CASE.out, its last line to $last.
bootstrap() {
  local name="$1" want="$2" status=0
  shift 2
  echo 0 > "$m/updates"
  env PATH="$work/bin:$PATH" FAKE_MACHINE="$m" SETUP_DEPS_DIR="$m/deps" BOOTSTRAP_APT_RETRY_PAUSE=0 "$@" \
    bash "$bootstrap" > "$work/$name.out" 2>&1 || status=$?
  [ ! -e "$m/unexpected" ] || fail "$name: bootstrap went past the stand-ins: $(cat "$m/unexpected")"
  [ "$status" = "$want" ] || fail "$name: exit status $status, not $want: $(tail -n 5 "$work/$name.out")"
  last=$(tail -n 1 "$work/$name.out")
  echo "$name: exit status $status: $last"
}

expect_last() {
  [ "$last" = "$2" ] || fail "$1: the last line is '$last', not '$2'"
}
expect_installed() {
  local p
  for p in "${@:2}"; do grep -qxF -- "$p" "$m/installed" || fail "$1: $p was not installed"; done
}
expect_absent() {
  local p
  for p in "${@:2}"; do ! grep -qxF -- "$p" "$m/installed" || fail "$1: $p was installed"; done
}
expect_updates() {
  [ "$(cat "$m/updates")" = "$2" ] || fail "$1: apt-get update ran $(cat "$m/updates") times, not $2"
}
record() { echo "$m/deps/wine32-unavailable"; }
expect_no_record() {
  [ ! -e "$(record)" ] || fail "$1: recorded that the archive cannot supply wine32: $(cat "$(record)")"
}

# A failed index that heals on the next try: everything installed, i386 added first.
machine recovers
bootstrap recovers 0 FAKE_UPDATE_FAILS=1
expect_last recovers "bootstrap: ready"
expect_updates recovers 2
expect_installed recovers g++ wine64 wine32:i386 libcups2:i386
grep -qx i386 "$m/arches" || fail "recovers: the i386 architecture was not added"
expect_no_record recovers

# All well.
machine good
bootstrap good 0
expect_last good "bootstrap: ready"
expect_updates good 1
expect_installed good cmake g++-mingw-w64-i686 wine wine32:i386
expect_no_record good

# The bad day: the i386 index stays broken and the i386 packages cannot be resolved.
# Everything 64-bit is installed, and apt's reason recorded.
machine bad-day
bootstrap bad-day 0 FAKE_UPDATE_FAILS=99 FAKE_BROKEN='*:i386'
expect_updates bad-day 3
expect_installed bad-day g++ g++-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 dpkg-dev osslsigncode
expect_absent bad-day wine32:i386 libcups2:i386
[ -s "$(record)" ] || fail "bad-day: nothing recorded"
grep -qF 'bookworm-security/main/binary-i386/Packages.xz' "$(record)" && grep -qF \
  '"E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."' "$(record)" ||
  fail "bad-day: the record does not give the index and apt's reason: $(cat "$(record)")"
expect_last bad-day "bootstrap: ready, without the 32-bit half: $(cat "$(record)")"
grep -qx 'bootstrap: could not install wine32:i386 .*: E: Error, pkgProblemResolver::Resolve generated breaks.*' \
  "$work/bad-day.out" || fail "bad-day: no line saying what could not be installed and why"
# The next run on that machine, with only the i386 set left to try, decides the same.
bootstrap bad-day-again 0 FAKE_UPDATE_FAILS=99 FAKE_BROKEN='*:i386'
[ -s "$(record)" ] || fail "bad-day-again: nothing recorded"
expect_last bad-day-again "bootstrap: ready, without the 32-bit half: $(cat "$(record)")"
# Once the archive has healed, wine32 is installed and the record goes.
bootstrap healed 0
expect_last healed "bootstrap: ready"
expect_installed healed wine32:i386 libcups2:i386
expect_no_record healed

# The i386 set refused while every index is current: not the archive's fault, so not
# recorded (the win32 template then fails). A 64-bit extra that cannot be had is named.
machine refused
bootstrap refused 0 FAKE_BROKEN='*:i386 osslsigncode'
expect_no_record refused
expect_installed refused g++ wine64 openssl
[[ $last == "bootstrap: ready, but without osslsigncode (E: Error, pkgProblemResolver"*"; wine32:i386 "*" (E: Error, pkgProblemResolver"* ]] ||
  fail "refused: the last line does not name what is missing and why: $last"

# An index failed, but apt cannot find the i386 packages at all (a misspelt name, i386 not
# added): the project's fault, never the archive's.
machine unknown
bootstrap unknown 0 FAKE_UPDATE_FAILS=99 FAKE_UNKNOWN='*:i386'
expect_no_record unknown
[[ $last == "bootstrap: ready, but without wine32:i386 "*" (E: Unable to locate package wine32:i386)" ]] ||
  fail "unknown: the last line does not name what is missing and why: $last"

# A compiler that cannot be installed stops the run, naming it and apt's reason; the rest
# is installed all the same.
machine no-compiler
bootstrap no-compiler 1 FAKE_UNKNOWN=g++-mingw-w64-i686
expect_last no-compiler "bootstrap: cannot go on without g++-mingw-w64-i686 (E: Unable to locate package g++-mingw-w64-i686)"
expect_installed no-compiler g++ g++-mingw-w64-x86-64 wine64 wine32:i386
# So does 64-bit Wine, even on the bad day.
machine no-wine64
bootstrap no-wine64 1 FAKE_UPDATE_FAILS=99 FAKE_BROKEN='wine64 *:i386'
expect_last no-wine64 "bootstrap: cannot go on without wine64 (E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.)"

rm -rf "$work"
echo "PASS bootstrap_decisions"
