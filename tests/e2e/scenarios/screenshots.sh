#!/usr/bin/env bash
# The setup dialog and the invalid-name message box drawn on a real X server (Xvfb):
# screenshots of both stay in the test's work folder, and each must show a window, not
# an empty screen.
source "$(dirname "$0")/../wine_env.sh"
e2e_init --xvfb

# e2e_expect_drawn FILE: the screen is black until a window is drawn on it.
e2e_expect_drawn() {
  local mean; mean=$(convert "$1" -colorspace Gray -format '%[fx:mean]' info:)
  awk -v m="$mean" 'BEGIN { exit !(m > 0.01) }' || e2e_fail "$1 shows no window (mean brightness $mean)"
  echo "e2e: $(basename "$1") shows a window (mean brightness $mean)"
}

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  checkpoint "$(e2e_checkpoint dialog)" \
  click 2 \
  exit 0
e2e_at_checkpoint dialog e2e_screenshot "$E2E_WORK/setup_dialog.png"
e2e_driver_wait
e2e_expect_drawn "$E2E_WORK/setup_dialog.png"

e2e_setup_file 'C:\dl\Setup.exe'
e2e_driver_async start 'C:\dl\Setup.exe' 'C:\dl\Setup.exe' \
  msgbox 'Setup' 'Invalid setup file name:C:\dl\Setup.exe' 1 \
  checkpoint "$(e2e_checkpoint msgbox)" \
  click 1 \
  exit 0
e2e_at_checkpoint msgbox e2e_screenshot "$E2E_WORK/invalid_name.png"
e2e_driver_wait
e2e_expect_drawn "$E2E_WORK/invalid_name.png"
