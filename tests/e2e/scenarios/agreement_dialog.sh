#!/usr/bin/env bash
# "OK/Save" shows the license agreement, wrapped to its text box, which has the focus; a
# screenshot of it is kept. (The text goes into the box at the dialog's first paint, so
# it is read once a screenshot shows the dialog drawn.) "I do not accept" goes back to the setup dialog with nothing
# written, and the agreement shows again at the next "OK/Save". Enter in the text box
# accepts, and so does "I accept": the installation goes on to the directory, which
# cannot be created here, so the setup dialog stays open for a last Cancel.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../agreement_env.sh"
command -v xdotool >/dev/null || e2e_fail "xdotool is missing: run scripts/bootstrap.sh"
e2e_init --xvfb

dir='C:\no\such\dir'
cannot="Can't create directory $dir"
e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_mark
e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  focus 1016 \
  checkpoint "$(e2e_checkpoint shown)" \
  text 1016 "$E2E_AGREEMENT_TEXT" \
  click 2 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  checkpoint "$(e2e_checkpoint declined)" \
  type 1000 "$dir" \
  click 1 \
  dialog 'License Agreement' \
  focus 1016 \
  checkpoint "$(e2e_checkpoint again)" \
  text 1016 "$E2E_AGREEMENT_TEXT" \
  checkpoint "$(e2e_checkpoint enter)" \
  msgbox SetupGalvery "$cannot" 1 \
  click 1 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$cannot" 1 \
  click 1 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  click 2 \
  exit 0

e2e_at_checkpoint shown e2e_screenshot_settled "$E2E_WORK/agreement_dialog.png"
e2e_at_checkpoint declined e2e_expect_nothing_written
e2e_at_checkpoint again e2e_screenshot_settled "$E2E_WORK/agreement_again.png"
# A real key press, through the X server, into the text box that has the focus.
e2e_at_checkpoint enter xdotool key Return
e2e_driver_wait
e2e_expect_absent "$dir"
mkdir -p "$E2E_ARTIFACTS"
cp "$E2E_WORK/agreement_dialog.png" "$E2E_ARTIFACTS/"
echo "e2e: kept $E2E_ARTIFACTS/agreement_dialog.png"
