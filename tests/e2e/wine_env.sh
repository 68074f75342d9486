# shellcheck shell=bash
# Wine environment for the end-to-end tests: source it, do not run it.
#
# A template prefix is booted once per build (e2e_build_template, the CTest fixtures
# e2e_win32_template and e2e_win64_template); every test then works in its own copy
# (e2e_init), so tests are independent and run in parallel.
# Each test's prefix has its own wineserver, which e2e_init arranges to be killed when
# the script exits, passing or failing.
#
# Inputs, all from the environment (CTest sets them; the defaults suit a manual run from
# a tree built with the native preset and the Windows preset named by E2E_ARCH):
#   E2E_ARCH       win32 (the shipped i686 build, the default) or win64: the build under
#                  test, and the kind of Wine prefix it runs in (a 32-bit or a 64-bit one)
#   E2E_WINE       the Wine loader for that prefix (default /usr/lib/wine/wine for win32,
#                  /usr/lib/wine/wine64 for win64)
#   E2E_WIN_DIR    that build's tree (default <top>/build/$E2E_ARCH), which holds the
#                  stub and the test programs built with it
#   E2E_DRIVER     e2e_driver.exe  (default $E2E_WIN_DIR/e2e_driver.exe)
#   E2E_STUB       setup.exe       (default $E2E_WIN_DIR/setup.exe)
#   E2E_MKSETUP    the native packager (default <top>/build/native/tools/mksetup if built);
#                  empty: the setup file is stub + marker + archive, put together by cat
#   E2E_TEMPLATE   the template folder (default <top>/build/native/tests/e2e/$E2E_ARCH/wine-template)
#   E2E_WORK       this test's scratch folder, emptied by e2e_init
#                  (default ${TMPDIR:-/tmp}/e2e-$E2E_ARCH-<scenario name>)
#   E2E_KEEP=1     keep the test's prefix even when the test passes
#   E2E_REQUIRE_WIN32=1  a machine that cannot start 32-bit programs fails the win32
#                  tests instead of skipping them (CI sets it); one where the package
#                  archive could not supply wine32 today still skips them
#   SETUP_DEPS_DIR where scripts/bootstrap.sh keeps its downloads and records
#                  (default <top>/.cache/deps)
#
# Measured on the development machine (Wine 8.0, Debian 12, 2 cores, otherwise idle):
# booting the template takes about 10 s for a 32-bit prefix (590 MB) and 15 s for a
# 64-bit one, which has a 32-bit half too (1.3 GB); a test's copy of it 0.1 to 0.5 s
# (hard links; a full `cp -a` of 700 MB takes 1.4 s); starting Wine in the copy 0.5 to
# 1 s; a scenario 1.5 to 5 s, all told.

E2E_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${E2E_ARCH:=win32}"
# The loaders themselves, not the wine wrapper: each prefix is of one architecture, and
# the wrapper would pick the 32-bit loader for both.
case "$E2E_ARCH" in
  win32) : "${E2E_WINE:=/usr/lib/wine/wine}" ;;
  win64) : "${E2E_WINE:=/usr/lib/wine/wine64}" ;;
  *) echo "FAIL: E2E_ARCH is '$E2E_ARCH', not win32 or win64" >&2; exit 1 ;;
esac
: "${E2E_WIN_DIR:=$E2E_TOP/build/$E2E_ARCH}"
: "${E2E_DRIVER:=$E2E_WIN_DIR/e2e_driver.exe}"
: "${E2E_STUB:=$E2E_WIN_DIR/setup.exe}"
# Set but empty (CTest, when the build has no packager): the setup file is made by cat.
if [ -z "${E2E_MKSETUP+set}" ]; then
  E2E_MKSETUP=$E2E_TOP/build/native/tools/mksetup
  [ -x "$E2E_MKSETUP" ] || E2E_MKSETUP=
fi
: "${E2E_TEMPLATE:=$E2E_TOP/build/native/tests/e2e/$E2E_ARCH/wine-template}"
# Absolute: the copies' folder links are told from the template's by their targets.
E2E_TEMPLATE=$(realpath -m "$E2E_TEMPLATE")
: "${E2E_WORK:=${TMPDIR:-/tmp}/e2e-$E2E_ARCH-$(basename "$0" .sh)}"
# What the ctest output and the messages call this test.
E2E_NAME="$E2E_ARCH $(basename "$0" .sh)"
# The exit status CTest counts as skipped (SKIP_RETURN_CODE).
E2E_SKIP=77
# bootstrap.sh's record of apt's reason when the package archive could not supply wine32.
E2E_WINE32_RECORD="${SETUP_DEPS_DIR:-$E2E_TOP/.cache/deps}/wine32-unavailable"

# The null graphics driver runs windows, dialogs and message boxes with no display at all.
# "Managed"="N" only matters under X (e2e_use_xvfb): with no window manager, managed
# windows stall about 2 s each time one closes. The font replacements give the common
# Windows faces a real equivalent (without them Times New Roman falls back to a sans face).
E2E_SETTINGS='REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Times New Roman"="Liberation Serif"
"Arial"="Liberation Sans"
"Courier New"="Liberation Mono"
'

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_now() { date +%s.%N; }
e2e_since() { awk -v a="$1" -v b="$(e2e_now)" 'BEGIN { printf "%.1f s", b - a }'; }

# Points HOME and Wine at <root>/home and <root>/prefix, with no display.
e2e_use_root() {
  export HOME="$1/home" WINEPREFIX="$1/prefix" WINEARCH="$E2E_ARCH"
  export WINEDEBUG=-all
  # No Mono or Gecko install prompts; no .desktop files written beside shortcuts.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  E2E_C="$WINEPREFIX/drive_c"
}

# The packages whose files end up in a booted prefix: a prefix booted before wine32 was
# installed has no 32-bit half, and one booted by another Wine version may not suit it.
e2e_wine_packages() {
  dpkg-query -W -f='${Package}:${Architecture} ${Version} ${Status}\n' wine wine64 wine32:i386 libwine:amd64 libwine:i386 2>/dev/null || true
}

e2e_template_stamp() {
  printf '%s\n%s\n%s\n%s' "$E2E_ARCH" "$("$E2E_WINE" --version)" "$(e2e_wine_packages)" "$E2E_SETTINGS" | md5sum | cut -d' ' -f1
}

# The one line a run prints when this machine cannot start 32-bit programs.
e2e_no_win32_warning() {
  echo "WARNING: this machine cannot run 32-bit Windows programs ($1): the win32 end-to-end tests were NOT run"
}

# The 32-bit loader is missing because the package archive could not supply wine32 on
# bootstrap's last run: prints apt's reason as bootstrap recorded it. A record left while
# wine32:i386 is installed explains nothing.
e2e_archive_lacks_wine32() {
  [ "$E2E_ARCH" = win32 ] && [ ! -x "$E2E_WINE" ] && [ -s "$E2E_WINE32_RECORD" ] || return 1
  ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || return 1
  head -n1 "$E2E_WINE32_RECORD"
}

# Whether this machine can start the 32-bit loader, for a win32 prefix: prints why and
# returns 0 only when the kernel itself refuses to execute it (a 64-bit kernel built or
# booted without 32-bit support), 3 when the loader is missing because the package archive
# could not supply it today (e2e_archive_lacks_wine32); returns 1 when it starts. A loader
# that is otherwise missing, or that starts and fails, is a fault, not a machine that
# cannot: that prints the fault and returns 2.
e2e_cannot_run_32bit() {
  [ "$E2E_ARCH" = win32 ] || return 1
  if [ ! -x "$E2E_WINE" ]; then
    e2e_archive_lacks_wine32 && return 3
    echo "the 32-bit Wine loader $E2E_WINE is missing: run scripts/bootstrap.sh (it installs wine32:i386)"
    return 2
  fi
  local out status=0
  out=$(LC_ALL=C "$E2E_WINE" --version 2>&1) || status=$?
  [ "$status" != 0 ] || return 1
  # 126 with ENOEXEC's message: the shell could not execute the file at all.
  if [ "$status" = 126 ] && [[ "$out" == *"Exec format error"* ]]; then
    echo "the kernel does not execute $E2E_WINE: Exec format error"
    return 0
  fi
  echo "the 32-bit Wine loader does not start (exit status $status): $out"
  return 2
}

# Boots a prefix of E2E_ARCH into DIR once; reuses it while Wine, its packages and the
# settings are unchanged. On a machine that cannot start 32-bit programs, a win32 template
# is not booted: DIR/unsupported says why, every win32 scenario skips (fails, with
# E2E_REQUIRE_WIN32=1, unless the package archive is to blame), and this returns E2E_SKIP
# after printing the warning.
e2e_build_template() {
  local dir="$1" start reason status=0
  rm -f "$dir/unsupported"
  reason=$(e2e_cannot_run_32bit) || status=$?
  [ "$status" != 2 ] || e2e_fail "$reason"
  if [ "$status" = 0 ] || [ "$status" = 3 ]; then
    mkdir -p "$dir"
    echo "$reason" > "$dir/unsupported"
    e2e_no_win32_warning "$reason"
    # No machine of CI's can install a package the archive does not have today.
    [ "$status" = 3 ] || [ "${E2E_REQUIRE_WIN32:-}" != 1 ] || e2e_fail "E2E_REQUIRE_WIN32=1: the win32 tests must run here"
    return "$E2E_SKIP"
  fi
  local stamp; stamp=$(e2e_template_stamp)
  if [ -f "$dir/ready" ] && [ "$(cat "$dir/ready")" = "$stamp" ]; then
    echo "e2e: $E2E_ARCH Wine template in $dir is ready"
    return 0
  fi
  start=$(e2e_now)
  wineserver_for "$dir/prefix" -k
  rm -rf "$dir"
  # Desktop must exist before the first boot, or Wine links the Windows desktop to HOME.
  mkdir -p "$dir/home/Desktop"
  e2e_use_root "$dir"
  "$E2E_WINE" wineboot -u || e2e_fail "wineboot failed in $dir"
  # Debian's Wine does not look in its own font folder: title bars and MS Shell Dlg
  # need the fonts inside the prefix.
  cp /usr/share/wine/fonts/*.ttf "$E2E_C/windows/Fonts/" || e2e_fail "could not copy Wine's fonts"
  printf '%s' "$E2E_SETTINGS" > "$E2E_C/settings.reg"
  "$E2E_WINE" regedit /S 'C:\settings.reg' || e2e_fail "regedit failed"
  rm "$E2E_C/settings.reg"
  wineserver -w  # the registry reaches the .reg files when the server ends
  [ -f "$WINEPREFIX/system.reg" ] || e2e_fail "wineboot left no registry in $dir"
  grep -q '^"Graphics"="null"' "$WINEPREFIX/user.reg" || e2e_fail "the Wine settings did not take"
  # A pure 32-bit prefix has no syswow64; a 64-bit one must have its 32-bit half.
  case "$E2E_ARCH" in
    win32) grep -q '^#arch=win32$' "$WINEPREFIX/system.reg" || e2e_fail "$dir is no 32-bit prefix" ;;
    win64) [ -d "$E2E_C/windows/syswow64" ] || e2e_fail "$dir has no syswow64: is wine32 installed?" ;;
  esac
  echo "$stamp" > "$dir/ready"
  echo "e2e: booted the $E2E_ARCH Wine template in $dir in $(e2e_since "$start")"
}

# e2e_require_file PATH WHAT [HINT]
e2e_require_file() {
  [ -f "$1" ] || e2e_fail "$2 not found at $1${3:+: $3}"
}

# The build's programs a scenario needs. A script that runs other programs of the build in
# a copy of the template (tests/wine_unit/run.sh) defines its own after sourcing this file.
e2e_require_programs() {
  e2e_require_file "$E2E_STUB" "the setup program (setup.exe)" "$(e2e_build_hint)"
  e2e_require_file "$E2E_DRIVER" "the test driver (e2e_driver.exe)" "$(e2e_build_hint)"
  e2e_require_file "$(dirname "$E2E_DRIVER")/e2e_spy.dll" "the driver's spy (e2e_spy.dll)" "$(e2e_build_hint)"
  [ -z "$E2E_MKSETUP" ] || e2e_require_file "$E2E_MKSETUP" "the packager (mksetup)" "build the native preset"
}

# e2e_init [--xvfb]: starts a test. Checks its inputs, copies the template into E2E_WORK,
# arranges the cleanup and starts Wine. Every scenario calls it first. With --xvfb the
# windows go to a private X server instead of the null driver, for e2e_screenshot.
e2e_init() {
  set -euo pipefail
  if [ -f "$E2E_TEMPLATE/unsupported" ]; then
    [ "${E2E_REQUIRE_WIN32:-}" != 1 ] || e2e_archive_lacks_wine32 >/dev/null ||
      e2e_fail "$E2E_NAME: this machine cannot run 32-bit programs: $(cat "$E2E_TEMPLATE/unsupported")"
    echo "SKIP $E2E_NAME: this machine cannot run 32-bit programs ($(cat "$E2E_TEMPLATE/unsupported"))"
    exit "$E2E_SKIP"
  fi
  e2e_require_programs
  [ -f "$E2E_TEMPLATE/ready" ] ||
    e2e_fail "no $E2E_ARCH Wine template in $E2E_TEMPLATE: run the e2e_${E2E_ARCH}_template test, or E2E_ARCH=$E2E_ARCH bash $E2E_TOP/tests/e2e/make_template.sh $E2E_TEMPLATE"

  local start; start=$(e2e_now)
  [ -d "$E2E_WORK" ] && { wineserver_for "$E2E_WORK/prefix" -k; rm -rf "$E2E_WORK"; }
  mkdir -p "$E2E_WORK"
  # The prefix is about 700 MB, nearly all of it DLLs that nothing writes: hard links
  # make a copy in 0.1 s instead of 1.4 s, and spare the disk when tests run in
  # parallel. The registry, which the server rewrites, and HOME are real copies; a write
  # into a linked file would reach the template, which e2e_cleanup checks.
  cp -al "$E2E_TEMPLATE/prefix" "$E2E_WORK/"
  local reg
  for reg in "$E2E_WORK"/prefix/*.reg; do
    rm "$reg"
    cp -a "$E2E_TEMPLATE/prefix/${reg##*/}" "$reg"
  done
  cp -a "$E2E_TEMPLATE/home" "$E2E_WORK/"
  # Wine linked the user's folders (Desktop, Documents, ...) to the template's HOME by
  # absolute path: point them at this test's HOME, or tests would share one desktop.
  local link target
  while IFS= read -r -d '' link; do
    target=$(readlink "$link")
    case "$target" in
      "$E2E_TEMPLATE/home"*) ln -sfn "$E2E_WORK/home${target#"$E2E_TEMPLATE/home"}" "$link" ;;
    esac
  done < <(find "$E2E_WORK/prefix/drive_c/users" -type l -print0)
  e2e_use_root "$E2E_WORK"
  # The driver's spy log: outside C:\, where it would count as written by the program.
  E2E_SPY_LOG=$(e2e_windows_path "$E2E_WORK/spy.log")
  export E2E_SPY_LOG
  E2E_XVFB_PID=
  trap 'e2e_cleanup $?' EXIT
  trap 'exit 143' TERM INT   # so that the EXIT trap runs when CTest stops a test
  echo "e2e: fresh prefix in $E2E_WORK in $(e2e_since "$start")"
  [ "${1:-}" != --xvfb ] || e2e_use_xvfb

  # Start Wine before the program under test: its first process in a prefix brings up
  # the server and the system processes (about 1 s, far more on a loaded machine), which
  # would otherwise eat into the driver's first wait. Debian's wineserver ends as soon as
  # its last program does; 30 s of persistence keeps it for the test's later programs and
  # still bounds its life should the cleanup never run.
  # On a machine loaded by parallel tests the first start in a fresh copy has been seen
  # to fail now and then, and a second one to work: try three times, saying why each
  # failed, before calling it a fault.
  start=$(e2e_now)
  local attempt status
  for attempt in 1 2 3; do
    wineserver -p30
    status=0
    # To a file: Wine's system processes inherit the output and outlive the command, and
    # a command substitution would wait for them.
    WINEDEBUG=err+all e2e_wine cmd /c rem > "$E2E_WORK/wine-start.txt" 2>&1 || status=$?
    [ "$status" != 0 ] || break
    echo "e2e: Wine's start $attempt in $WINEPREFIX failed (exit status $status): $(cat "$E2E_WORK/wine-start.txt")"
    [ "$attempt" != 3 ] || e2e_fail "Wine does not start programs in $WINEPREFIX"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    sleep 1
  done
  echo "e2e: Wine started in $(e2e_since "$start")"
}

# What to build when one of the build's programs is missing.
e2e_build_hint() {
  echo "build the $E2E_ARCH preset (cmake --preset $E2E_ARCH && cmake --build --preset $E2E_ARCH), or point E2E_WIN_DIR at its build tree"
}

# wineserver_for PREFIX OPTION: the wineserver of that prefix, if it has one.
wineserver_for() {
  if [ -d "$1" ]; then WINEPREFIX="$1" wineserver "$2" 2>/dev/null || true; fi
}

# e2e_on_exit COMMAND...: runs COMMAND when the test ends, passing or failing, once Wine
# has let go of every file (unmounting a folder the test mounted, say). A command that
# fails fails the test.
E2E_EXIT_COMMANDS=()
e2e_on_exit() {
  local quoted; printf -v quoted '%q ' "$@"
  E2E_EXIT_COMMANDS+=("$quoted")
}

e2e_cleanup() {
  local status="$1" touched command
  wineserver_for "$WINEPREFIX" -k
  for command in "${E2E_EXIT_COMMANDS[@]}"; do
    eval "$command" || { echo "FAIL: at exit: $command" >&2; status=1; }
  done
  touched=$(find "$E2E_TEMPLATE/prefix" -newer "$E2E_TEMPLATE/ready" -print)
  if [ -n "$touched" ]; then
    # Something wrote through a hard link into the template: it is spoilt for every test.
    rm -f "$E2E_TEMPLATE/ready"
    echo "FAIL: the test changed files of the shared Wine template (rebuilt on the next run):" >&2
    echo "$touched" >&2
    status=1
  fi
  if [ -n "$E2E_XVFB_PID" ]; then kill "$E2E_XVFB_PID" 2>/dev/null || true; fi
  if [ "$status" = 0 ]; then
    # Keep the transcript and screenshots; the prefix only when asked to.
    [ "${E2E_KEEP:-}" = 1 ] || rm -rf "$WINEPREFIX" "$HOME"
    echo "PASS $E2E_NAME"
  else
    echo "FAIL $E2E_NAME (exit status $status; prefix kept in $E2E_WORK)" >&2
  fi
  exit "$status"
}

# Runs a Windows program in the test's prefix, with C:\ as the working directory.
e2e_wine() {
  (cd "$E2E_C" && "$E2E_WINE" "$@")
}

# C:\dl\Setup.exe -> the Linux path of that file inside the prefix. Only drive C maps
# into the prefix. Windows ignores case and Linux does not: name files as the program does.
e2e_unix_path() {
  local p="$1"
  case "$p" in
    [cC]:\\*) p="${p:3}" ;;
    [cC]:) p= ;;
    *) e2e_fail "e2e_unix_path: not a C: path: $p" ;;
  esac
  printf '%s/%s\n' "$E2E_C" "${p//\\//}"
}

# A Linux path as Windows programs in the prefix see it (drive Z: is /).
e2e_windows_path() {
  printf 'Z:%s\n' "${1//\//\\}"
}

# Runs the driver with the given steps (see tests/e2e/driver/driver.cpp); the transcript
# also goes to $E2E_WORK/transcript.txt.
e2e_driver() {
  echo "e2e: driver $*" >> "$E2E_WORK/transcript.txt"
  e2e_wine "$E2E_DRIVER" "$@" | tee -a "$E2E_WORK/transcript.txt"
}

# For scenarios that act while the program is on screen: run the driver in the background
# with a "checkpoint $(e2e_checkpoint NAME)" step, then e2e_at_checkpoint NAME COMMAND...,
# then e2e_driver_wait.
e2e_driver_async() {
  e2e_driver "$@" &
  E2E_DRIVER_PID=$!
}

e2e_driver_wait() {
  wait "$E2E_DRIVER_PID"
}

# The Windows path of checkpoint NAME's file: outside C:\, so it never counts as written.
e2e_checkpoint() {
  e2e_windows_path "$E2E_WORK/checkpoint.$1"
}

# Waits until the driver holds at checkpoint NAME, runs COMMAND, and lets the driver go on.
# E2E_CHECKPOINT_WAIT: how many seconds to wait at most (default 30).
e2e_at_checkpoint() {
  local file="$E2E_WORK/checkpoint.$1" waited=0 limit=$((${E2E_CHECKPOINT_WAIT:-30} * 20))
  shift
  until [ -f "$file" ]; do
    kill -0 "$E2E_DRIVER_PID" 2>/dev/null || { e2e_driver_wait; e2e_fail "the driver ended before the checkpoint"; }
    ((waited++ < limit)) || e2e_fail "the driver did not reach the checkpoint within ${E2E_CHECKPOINT_WAIT:-30} s"
    sleep 0.05
  done
  "$@"
  rm -f "$file"
}

# e2e_peak_memory 'C:\dl\Setup.exe': the peak resident memory, in KiB, of the Linux
# process that runs that Windows program (Wine gives it the Windows path as its command
# line), as /proc tells it (VmHWM); fails when no such process runs.
e2e_peak_memory() {
  local status cmd
  for status in /proc/[0-9]*/status; do
    cmd=$(tr '\0' '\n' < "${status%/status}/cmdline" 2>/dev/null | head -n1) || continue
    [ "$cmd" = "$1" ] || continue
    awk '/^VmHWM:/ { print $2 }' "$status"
    return 0
  done
  e2e_fail "no process runs $1"
}

# Little-endian integers for the archives written byte by byte.
e2e_le16() { printf '%b' "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
e2e_le32() { e2e_le16 $(($1 & 65535)); e2e_le16 $(($1 >> 16 & 65535)); }

# CRC-32 of a file: gzip's trailer holds exactly that (then the length), so nothing
# beyond gzip and od is needed.
e2e_crc32() {
  local b
  read -ra b < <(gzip -c < "$1" | tail -c 8 | od -An -tu1)
  echo $((b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24))
}

# Archives written byte by byte, so the tests need no zip tool and can make what no
# zip tool writes (damaged data, lying headers, odd extra fields):
#   e2e_zip_begin OUT
#   e2e_zip_add NAME METHOD STORED SIZE CRC EXTERNAL LOCAL_EXTRA CENTRAL_EXTRA   (per entry)
#   e2e_zip_end [COUNT]   (COUNT: the entries the end record claims; default those added)
# STORED is the file of the bytes stored (for method 8 the raw deflate stream,
# e2e_deflate); SIZE and CRC are what the headers claim, so they can lie; the extras are
# files of extra-field bytes (empty for none). E2E_ZIP_FLAGS sets the general-purpose
# flags of both headers (0x800: the name is UTF-8), E2E_ZIP_MADE_BY the central record's
# "version made by" (default 0x031E, Unix; 0x0014 DOS, 0x0A3F NTFS). Every entry is dated 2013-09-15 18:06:30
# in DOS form. Fields are printed, never kept in variables (bash drops NUL bytes there).
e2e_zip_begin() {
  E2E_ZIP=$1
  : > "$E2E_ZIP"
  : > "$E2E_ZIP.central"
  E2E_ZIP_COUNT=0
}

e2e_zip_add() {
  local name=$1 method=$2 stored=$3 size=$4 crc=$5 external=$6 lx=$7 cx=$8 csize offset flags=${E2E_ZIP_FLAGS:-0}
  local length  # in bytes: ${#name} counts characters in a UTF-8 locale
  length=$(printf '%s' "$name" | wc -c)
  csize=$(stat -c %s "$stored")
  offset=$(stat -c %s "$E2E_ZIP")
  {
    e2e_le32 0x04034b50; e2e_le16 20; e2e_le16 "$flags"; e2e_le16 "$method"; e2e_le16 0x90CF; e2e_le16 0x432F
    e2e_le32 "$crc"; e2e_le32 "$csize"; e2e_le32 "$size"
    e2e_le16 "$length"; e2e_le16 "$(stat -c %s "$lx")"; printf '%s' "$name"
    cat "$lx" "$stored"
  } >> "$E2E_ZIP"
  {
    e2e_le32 0x02014b50; e2e_le16 "${E2E_ZIP_MADE_BY:-0x031E}"; e2e_le16 20; e2e_le16 "$flags"; e2e_le16 "$method"; e2e_le16 0x90CF; e2e_le16 0x432F
    e2e_le32 "$crc"; e2e_le32 "$csize"; e2e_le32 "$size"
    e2e_le16 "$length"; e2e_le16 "$(stat -c %s "$cx")"; e2e_le16 0; e2e_le16 0; e2e_le16 0
    e2e_le32 "$external"; e2e_le32 "$offset"; printf '%s' "$name"; cat "$cx"
  } >> "$E2E_ZIP.central"
  E2E_ZIP_COUNT=$((E2E_ZIP_COUNT + 1))
}

e2e_zip_end() {
  local cdsize cdoffset count=${1:-$E2E_ZIP_COUNT}
  cdsize=$(stat -c %s "$E2E_ZIP.central")
  cdoffset=$(stat -c %s "$E2E_ZIP")
  cat "$E2E_ZIP.central" >> "$E2E_ZIP"
  {
    e2e_le32 0x06054b50; e2e_le16 0; e2e_le16 0; e2e_le16 "$count"; e2e_le16 "$count"
    e2e_le32 "$cdsize"; e2e_le32 "$cdoffset"; e2e_le16 0
  } >> "$E2E_ZIP"
  rm -f "$E2E_ZIP.central"
}

# e2e_deflate IN OUT: the raw deflate stream of IN: gzip's output without its 10-byte
# header (-n: no name in it) and its 8-byte trailer.
e2e_deflate() {
  gzip -9 -n -c < "$1" | tail -c +11 | head -c -8 > "$2"
}

# e2e_make_zip OUT FILE...: a ZIP archive of FILEs, stored, each under its base name.
e2e_make_zip() {
  local out="$1" f none="$1.none"
  shift
  : > "$none"
  e2e_zip_begin "$out"
  for f in "$@"; do
    e2e_zip_add "$(basename "$f")" 0 "$f" "$(stat -c %s "$f")" "$(e2e_crc32 "$f")" 0x81A40020 "$none" "$none"
  done
  e2e_zip_end
  rm -f "$none"
}

# e2e_make_setup OUT ZIP: a setup file from the stub and ZIP, by the packager when the
# build has one, else by its layout: stub, the eight marker bytes, the archive.
# The packager refuses a name that does not select its product, and scenarios need names
# that select none, or only through their folder: it builds under a Galvery name (the
# bytes are the same for every product), which is then renamed.
e2e_make_setup() {
  if [ -n "$E2E_MKSETUP" ]; then
    "$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --zip "$2" --out "$E2E_WORK/SetupGalvery.built" \
      >/dev/null && mv "$E2E_WORK/SetupGalvery.built" "$1"
  else
    { cat "$E2E_STUB"; printf 'UUUUUUUU'; cat "$2"; } > "$1"
  fi
}

# e2e_setup_file 'C:\dl\SetupGalvery.exe': a setup file with a small payload at that
# Windows path. The scenarios so far only need the program to start, not its payload.
e2e_setup_file() {
  local target; target=$(e2e_unix_path "$1")
  if [ ! -f "$E2E_WORK/payload.zip" ]; then
    mkdir -p "$E2E_WORK/payload"
    printf 'Read me.\r\n' > "$E2E_WORK/payload/readme.txt"
    e2e_make_zip "$E2E_WORK/payload.zip" "$E2E_WORK/payload/readme.txt"
  fi
  mkdir -p "$(dirname "$target")"
  e2e_make_setup "$target" "$E2E_WORK/payload.zip"
}

# e2e_mark, then e2e_expect_nothing_written: fails when any file or folder in C:\ or in
# HOME (where the user's Desktop and Documents really are) was created or changed after
# the mark.
e2e_mark() {
  touch "$E2E_WORK/mark"
}

e2e_written_since_mark() {
  find "$E2E_C" "$HOME" -newer "$E2E_WORK/mark" -print
}

e2e_expect_nothing_written() {
  local written; written=$(e2e_written_since_mark)
  [ -z "$written" ] || e2e_fail "written although nothing should have been:
$written"
  echo "e2e: nothing written in C:\\ nor in HOME"
}

# Windows ignores case: C:\GALVERY would be the C:\Galvery that must not exist.
e2e_expect_absent() {
  local unix found; unix=$(e2e_unix_path "$1")
  found=$(find "$E2E_C" -ipath "${unix%/}" -print -quit)
  [ -z "$found" ] || e2e_fail "$1 exists ($found)"
  echo "e2e: $1 does not exist"
}

# For e2e_init --xvfb, before Wine first starts in the prefix: the server reads the
# graphics driver setting as it starts, and writes user.reg back as it ends.
e2e_use_xvfb() {
  sed -i 's/^"Graphics"="null"$/"Graphics"="x11"/' "$WINEPREFIX/user.reg"
  grep -q '^"Graphics"="x11"$' "$WINEPREFIX/user.reg" || e2e_fail "could not switch Wine to X11"
  local fdfile="$E2E_WORK/xvfb.display" waited=0
  # -displayfd: Xvfb picks a free display itself, so parallel tests do not collide.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>"$E2E_WORK/xvfb.log" &
  E2E_XVFB_PID=$!
  until [ -s "$fdfile" ]; do
    ((waited++ < 100)) || e2e_fail "Xvfb did not start (see $E2E_WORK/xvfb.log)"
    sleep 0.1
  done
  DISPLAY=":$(cat "$fdfile")"
  export DISPLAY
  echo "e2e: Xvfb on $DISPLAY"
}

# e2e_screenshot FILE.png: the whole screen, after e2e_init --xvfb (at a checkpoint, so
# that the program holds still).
e2e_screenshot() {
  [ -n "$E2E_XVFB_PID" ] || e2e_fail "e2e_screenshot needs e2e_init --xvfb"
  import -display "$DISPLAY" -window root "$1"
}
