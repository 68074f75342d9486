#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) for every build of this project:
# installs the Debian packages that are missing and unpacks Debian's minizip source
# package into .cache/deps for the mingw builds. Safe to run again: it only does
# what is not done yet.
#
# The package archive has bad days (an index caught mid-sync): bootstrap then installs
# what it can and stops only when the builds or 64-bit Wine cannot be had. When only the
# 32-bit half of Wine is missing and the archive is to blame, apt's reason goes to
# $deps/wine32-unavailable, which the win32 tests read before they skip. The last line
# says how it ended: "bootstrap: ready", "bootstrap: ready, without the 32-bit half: ...",
# "bootstrap: ready, but without ..." or "bootstrap: cannot go on without ...".
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="${SETUP_DEPS_DIR:-$top/.cache/deps}"
# Every run decides afresh: a machine that has since got wine32 must not keep the record.
wine32_record="$deps/wine32-unavailable"
rm -f "$wine32_record"

packages=(
  # native core and tests
  g++ cmake ninja-build pkg-config libgtest-dev zlib1g-dev libminizip-dev clang libclang-rt-14-dev
  # Windows builds
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # GoogleTest's sources, compiled for the Windows builds' unit tests (core_tests.exe);
  # without them only those are not built
  googletest
  # running the Windows builds: 64-bit Wine, and its 32-bit half for the shipped i686 build
  # (the libraries Wine loads at run time for printing and for windows on an X server)
  wine wine64 fonts-wine fonts-liberation xvfb imagemagick
  wine32:i386 libcups2:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 libxrandr2:i386
  libxfixes3:i386 libxinerama1:i386 libxcomposite1:i386 libxxf86vm1:i386
  # signing setup files (mksetup --sign) and its tests
  osslsigncode openssl
  # printing under Wine to a PDF printer, and typing into the real dialogs
  cups printer-driver-cups-pdf poppler-utils xdotool
  # the installation benchmark measures against cp + unzip; archives of 65,536 entries
  unzip zip
  # archives as vendors write them: 7-Zip, the JDK's jar, Python's zipfile
  7zip openjdk-17-jdk-headless python3
  # users' settings under Wine: a Japanese (code page 932) and a UTF-8 Western locale
  locales
  # fetching and unpacking the minizip sources
  dpkg-dev ca-certificates
)

# Without these nothing builds, or no Windows program runs at all: missing, they stop the
# run. Any other package missing costs only the tests that need it.
required=(
  g++ cmake ninja-build pkg-config libgtest-dev zlib1g-dev libminizip-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64
  dpkg-dev ca-certificates
)

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
# apt's messages are parsed below: keep them in English.
export DEBIAN_FRONTEND=noninteractive LC_ALL=C

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# apt's own reason: the first error line of its output.
apt_error() {
  grep -m1 '^E: ' "$1" || echo "E: apt-get failed without an error line"
}

# A failed index (a mirror caught mid-sync) may heal within seconds. After a few tries
# apt goes on with the indexes it has, and the installs show what that costs.
update_indexes() {
  local try tries=3 status pause="${BOOTSTRAP_APT_RETRY_PAUSE:-10}"
  for ((try = 1; try <= tries; try++)); do
    status=0
    apt-get update -q 2>&1 | tee "$log/update" || status=$?
    [ "$status" != 0 ] || return 0
    ((try < tries)) || break
    echo "bootstrap: apt-get update failed (exit status $status); trying again in $pause s"
    sleep "$pause"
  done
  echo "bootstrap: apt-get update still fails ($(apt_error "$log/update")); going on with the indexes apt has"
}

# The i386 index the last update could not fetch (suite/component/binary-i386/file), if any.
failed_i386_index() {
  sed -n 's|^[EW]: Failed to fetch [^ ]*/dists/\([^ ]*/binary-i386/[^ ]*\).*|\1|p' "$log/update" | head -n1
}

# One apt transaction: all of PACKAGES or none. Its output stays in $log/install.
try_install() {
  apt-get install -y -q --no-install-recommends "$@" 2>&1 | tee "$log/install"
}

unavailable=()     # "PACKAGES (apt's reason)" for the last line
declare -A why     # package -> apt's reason
not_installed() {
  local p reason; reason=$(apt_error "$log/install")
  echo "bootstrap: could not install $*: $reason"
  for p; do why[$p]=$reason; done
}

# The 32-bit half is the archive's fault only when the update could not fetch an i386
# index and the i386 packages then failed on their dependencies (their 64-bit twins are
# newer than the stale index knows). A package apt cannot find, or that has no candidate,
# is a fault of this script (a misspelt name, i386 not added): never recorded.
archive_lacks_i386() {
  [ -n "$(failed_i386_index)" ] || return 1
  ! grep -Eq "^E: (Unable to locate package|Couldn't find any package|Package .* has no installation candidate)" "$log/install" || return 1
  grep -Eq '^E: .*(held broken packages|generated breaks)|unmet dependencies' "$log/install"
}

# The whole set first. Should that fail, the 64-bit packages on their own (one by one if
# they fail together), then the i386 set on its own: 32-bit Wine is of use only whole.
install_packages() {
  try_install "$@" && return 0
  local p wide=() narrow=()
  for p; do
    case "$p" in *:i386) narrow+=("$p") ;; *) wide+=("$p") ;; esac
  done
  if ((${#wide[@]})); then
    # The set just tried was the 64-bit set, unless it held i386 packages too.
    if ((${#narrow[@]} == 0)) || ! try_install "${wide[@]}"; then
      for p in "${wide[@]}"; do
        try_install "$p" || { not_installed "$p"; unavailable+=("$p (${why[$p]})"); }
      done
    fi
  fi
  if ((${#narrow[@]})); then
    if ((${#wide[@]} == 0)) || ! try_install "${narrow[@]}"; then
      not_installed "${narrow[@]}"
      if archive_lacks_i386; then
        mkdir -p "$deps"
        echo "the package archive cannot supply wine32:i386 today: its index $(failed_i386_index) failed to download, and apt says \"${why[${narrow[0]}]}\"" > "$wine32_record"
      else
        unavailable+=("${narrow[*]} (${why[${narrow[0]}]})")
      fi
    fi
  fi
}

# wine32 is a package of the i386 architecture, which dpkg must know of first.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "bootstrap: adding the i386 architecture"
  dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  update_indexes
  install_packages "${missing[@]}"
  lacking=()
  for p in "${required[@]}"; do
    installed "$p" || lacking+=("$p (${why[$p]:-apt-get said it installed it, yet it is not installed})")
  done
  if ((${#lacking[@]})); then
    echo "bootstrap: cannot go on without $(printf '%s; ' "${lacking[@]}" | sed 's/; $//')" >&2
    exit 1
  fi
fi

# Wine takes the ANSI code page from the Unix locale: ja_JP.UTF-8 gives 932, en_US.UTF-8
# 1252 with user names in any script. Debian's locales package ships them uncompiled.
# The list is read whole first: grep -q stops at its match, and under pipefail a writer
# cut short by that reads as a locale that is missing.
compiled=$(locale -a 2>/dev/null || true)
for want in ja_JP en_US; do
  if ! grep -qix "$want.utf-\{0,1\}8" <<< "$compiled"; then
    echo "bootstrap: compiling the $want.UTF-8 locale"
    localedef -i "$want" -f UTF-8 "$want.UTF-8"
  fi
done

# minizip for mingw: Debian's own source package, the same sources as the native
# libminizip-dev (with Debian's security fixes). Fetched through a private apt list so
# the machine's apt configuration is left alone.
if [ ! -f "$deps/minizip/unzip.c" ]; then
  mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\/debian\)\/\{0,1\}$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
  if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
    mirror=$(awk '$1=="deb" && $0 !~ /security/ { for (i=2;i<=NF;i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' /etc/apt/sources.list)
  fi
  [ -n "$mirror" ] || { echo "bootstrap: no Debian archive URI found in the apt sources" >&2; exit 1; }
  work="$deps/apt"
  rm -rf "$work"
  mkdir -p "$work/lists/partial" "$work/archives/partial" "$work/parts" "$work/src"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" > "$work/sources.list"
  apt_opts=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/parts"
            -o Dir::State::Lists="$work/lists" -o Dir::Cache::archives="$work/archives"
            -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
  # apt drops to the _apt user for downloads; let it write where the files go.
  id _apt >/dev/null 2>&1 && chown -R _apt:root "$work"
  apt-get -q "${apt_opts[@]}" update
  (cd "$work/src" && apt-get -q "${apt_opts[@]}" source --download-only minizip)
  dsc=$(ls "$work"/src/minizip_*.dsc | head -n1)
  rm -rf "$deps/minizip-src"
  # apt has already checked the files' hashes against the signed Sources index;
  # --no-check only skips the uploader's signature, whose keyring is not installed.
  dpkg-source --no-check -x "$dsc" "$deps/minizip-src" >/dev/null
  # Debian's package keeps the library in its top folder; some layouts nest it.
  src=$(dirname "$(find "$deps/minizip-src" -name unzip.c -not -path '*/.pc/*' | head -n1)")
  rm -rf "$deps/minizip"
  cp -r "$src" "$deps/minizip"
  echo "bootstrap: minizip sources from $(basename "$dsc") in $deps/minizip"
fi

ended="bootstrap: ready"
[ ! -f "$wine32_record" ] || ended+=", without the 32-bit half: $(cat "$wine32_record")"
((${#unavailable[@]} == 0)) || ended+=", but without $(printf '%s; ' "${unavailable[@]}" | sed 's/; $//')"
echo "$ended"
