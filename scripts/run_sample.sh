#!/usr/bin/env bash
# The main job: sets the machine up, builds everything, builds the sample setup files
# build/sample/<arch>/SetupGalvery.exe (the sample product Galvery.EXE and its help
# file) and runs one under Wine:
#   bash scripts/run_sample.sh          the 32-bit one, as shipped, in a 32-bit prefix (the
#                                       64-bit one where this machine cannot run it, saying why)
#   bash scripts/run_sample.sh win64    the 64-bit one, in a 64-bit prefix
# (SAMPLE_ARCH=win64 does the same as the argument.)
#   With a display (DISPLAY set): the setup program's window is yours to use.
#   Without one: a driver program plays the user, accepting the defaults, and the script
#   prints what was shown and what was installed.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch="${1:-${SAMPLE_ARCH:-win32}}"
case "$arch" in
  win32|win64) ;;
  *) echo "usage: run_sample.sh [win32|win64]" >&2; exit 2 ;;
esac
display="${DISPLAY:-}"
bash "$top/scripts/bootstrap.sh"
bash "$top/scripts/build_all.sh"

mksetup="$top/build/native/tools/mksetup"
for build in win32 win64; do
  mkdir -p "$top/build/sample/$build"
  "$mksetup" build --stub "$top/build/$build/setup.exe" --product Galvery \
    --out "$top/build/sample/$build/SetupGalvery.exe" \
    --add "d:/Galvery/RELEASE/Galvery.EXE=$top/build/$build/sample/Galvery.exe" \
    --add "d:/Galvery/HLP/Galvery.HLP=$top/build/$build/sample/Galvery.HLP"
done

# Wine: a prefix of its own, copied from the end-to-end tests' template of that build.
template_of() { echo "$top/build/native/tests/e2e/$1/wine-template"; }
boot_template() { E2E_ARCH="$1" bash "$top/tests/e2e/make_template.sh" "$(template_of "$1")"; }
# The win32 template is not booted where this machine cannot run 32-bit programs (the
# kernel refuses them, or the package archive could not supply 32-bit Wine today): the
# 64-bit sample runs instead. Decided before wine_env.sh, which fixes the build it runs.
if [ "$arch" = win32 ]; then
  status=0
  boot_template win32 > "$top/build/sample/win32/template.log" 2>&1 || status=$?
  if [ "$status" = 77 ]; then  # skipped
    echo "run_sample: the 32-bit setup file cannot run here ($(cat "$(template_of win32)/unsupported")): running the 64-bit one"
    arch=win64
  else
    cat "$top/build/sample/win32/template.log"
    [ "$status" = 0 ] || exit "$status"
  fi
fi
[ "$arch" = win32 ] || boot_template win64
sample="$top/build/sample/$arch/SetupGalvery.exe"
"$mksetup" verify "$sample"
E2E_TEMPLATE=$(template_of "$arch")
export E2E_ARCH="$arch" E2E_WORK="$top/build/sample/$arch/run" E2E_KEEP=1 E2E_TEMPLATE
source "$top/tests/e2e/wine_env.sh"
e2e_init
setup_win='C:\Downloads\SetupGalvery.exe'
mkdir -p "$(dirname "$(e2e_unix_path "$setup_win")")"
cp "$sample" "$(e2e_unix_path "$setup_win")"
echo "Running the $arch build: $sample"

if [ -n "$display" ]; then
  # The registry is the server's until it ends: stop it before switching to X11.
  wineserver -k || true
  wineserver -w || true
  sed -i 's/^"Graphics"="null"$/"Graphics"="x11"/' "$WINEPREFIX/user.reg"
  echo "Running $setup_win on $display; the Wine prefix is $WINEPREFIX"
  DISPLAY="$display" e2e_wine "$setup_win"
else
  echo "No display: the driver plays the user and accepts every default."
  e2e_driver start "$setup_win" "\"$setup_win\"" \
    dialog 'Setup Galvery' dump click 1 \
    dialog 'License Agreement' no-window 0.5 dump click 1 \
    msgbox SetupGalvery $'Unpacked files:\nc:\\Galvery\\Galvery.EXE\nc:\\Galvery\\Galvery.HLP\n' 1 click 1 \
    msgbox SetupGalvery 'Do you want to create a desktop shortcut icon for Galvery?' 6,7 click 6 \
    exit 0
  echo
  echo "Installed into c:\\Galvery ($(e2e_unix_path 'C:\Galvery')):"
  ls -l --time-style=+'%Y-%m-%d %H:%M:%S' "$(e2e_unix_path 'C:\Galvery')"
  echo "Desktop ($HOME/Desktop):"
  ls -l "$HOME/Desktop"
  echo
  echo "Starting the installed program:"
  e2e_driver start 'C:\Galvery\Galvery.EXE' '"C:\Galvery\Galvery.EXE"' msgbox Galvery \
    $'Galvery is installed and running from\nC:\\Galvery\\Galvery.EXE' 1 click 1 exit 0
fi
