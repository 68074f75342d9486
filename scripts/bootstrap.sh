#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) for every build of this project:
# installs the Debian packages that are missing and unpacks Debian's minizip source
# package into .cache/deps for the mingw builds. Safe to run again: it only does
# what is not done yet.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="${SETUP_DEPS_DIR:-$top/.cache/deps}"

packages=(
  # native core and tests
  g++ cmake ninja-build pkg-config libgtest-dev zlib1g-dev libminizip-dev clang libclang-rt-14-dev
  # Windows builds
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # running the Windows builds: 64-bit Wine, and its 32-bit half for the shipped i686 build
  # (the libraries Wine loads at run time for printing and for windows on an X server)
  wine wine64 fonts-wine fonts-liberation xvfb imagemagick
  wine32:i386 libcups2:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386 libxrandr2:i386
  libxfixes3:i386 libxinerama1:i386 libxcomposite1:i386 libxxf86vm1:i386
  # signing setup files (mksetup --sign) and its tests
  osslsigncode openssl
  # printing under Wine to a PDF printer, and typing into the real dialogs
  cups printer-driver-cups-pdf poppler-utils xdotool
  # the installation benchmark measures against cp + unzip
  unzip
  # users' settings under Wine: a Japanese (code page 932) and a UTF-8 Western locale
  locales
  # fetching and unpacking the minizip sources
  dpkg-dev ca-certificates
)

# wine32 is a package of the i386 architecture, which dpkg must know of first.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "bootstrap: adding the i386 architecture"
  dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes the ANSI code page from the Unix locale: ja_JP.UTF-8 gives 932, en_US.UTF-8
# 1252 with user names in any script. Debian's locales package ships them uncompiled.
for want in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qix "$want.utf-\{0,1\}8"; then
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
