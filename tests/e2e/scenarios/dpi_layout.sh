#!/usr/bin/env bash
# The dialogs at 96 and at 144 DPI (150 %), drawn on a real X server. At each: the setup
# dialog and its directory box, with c:\Galvery drawn inside the box; the agreement
# dialog with its text box inside it, every line of the agreement fitting the box (each
# ends inside the box's text area, and no text is drawn in its right margin, where a
# clipped line would end); screenshots of both kept as artifacts. At 144 DPI the dialogs
# are half as large again. (Wine scales every program alike, aware of DPI or not: this
# checks the layout and the wrapping at 144 DPI; the blur of an unaware program exists
# on Windows only.)
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../agreement_env.sh"
e2e_init --xvfb
mkdir -p "$E2E_ARTIFACTS"

# set_dpi N: both places Wine takes the screen's DPI from; the server writes them out as
# it ends, and the next program starts a new one that reads them.
set_dpi() {
  local hex; hex=$(printf '%08x' "$1")
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%s\n\n' "$hex" > "$E2E_WORK/dpi.reg"
  printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%s\n' "$hex" >> "$E2E_WORK/dpi.reg"
  e2e_wine regedit /S "$(e2e_windows_path "$E2E_WORK/dpi.reg")" || e2e_fail "regedit failed"
  wineserver -k || true
  wineserver -w || true
  grep -qi "^\"LogPixels\"=dword:$hex" "$WINEPREFIX/user.reg" || e2e_fail "LogPixels $1 did not reach the registry"
}

# dark FILE L T R B: how many pixels of that rectangle are dark (text, not background).
dark() {
  local w=$(($4 - $2)) h=$(($5 - $3))
  ((w > 0 && h > 0)) || { echo 0; return; }
  convert "$1" -crop "${w}x${h}+$2+$3" +repage -colorspace Gray -threshold 50% -format '%[fx:round(w*h*(1-mean))]' info:
}

# inside "L T R B" "L T R B": the first rectangle lies within the second.
inside() {
  read -r a b c d <<< "$1"
  read -r e f g h <<< "$2"
  ((a >= e && b >= f && c <= g && d <= h))
}

check_at() {
  local dpi="$1" shots="$E2E_WORK/$1"
  mkdir -p "$shots"
  e2e_setup_file 'C:\dl\SetupGalvery.exe'
  : > "$E2E_WORK/transcript.txt"
  e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
    dialog 'Setup Galvery' \
    rect 0 \
    rect 1000 \
    checkpoint "$(e2e_checkpoint "setup$dpi")" \
    click 1 \
    dialog 'License Agreement' \
    rect 0 \
    rect 1016 \
    lines-fit 1016 \
    checkpoint "$(e2e_checkpoint "agreement$dpi")" \
    click 2 \
    dialog 'Setup Galvery' \
    click 2 \
    exit 0
  e2e_at_checkpoint "setup$dpi" e2e_screenshot_settled "$shots/setup_dialog.png"
  e2e_at_checkpoint "agreement$dpi" e2e_screenshot_settled "$shots/agreement_dialog.png"
  e2e_driver_wait
  cp "$shots/setup_dialog.png" "$E2E_ARTIFACTS/setup_dialog_${dpi}dpi.png"
  cp "$shots/agreement_dialog.png" "$E2E_ARTIFACTS/agreement_dialog_${dpi}dpi.png"

  # The rectangles in order: setup dialog, directory box, agreement dialog, text box.
  mapfile -t rects < <(tr -d '\r' < "$E2E_WORK/transcript.txt" |
    awk '$1 == "rect" { print $4, $5, $6, $7, $9, $10, $11, $12, $14, $15 }')
  ((${#rects[@]} == 4)) || e2e_fail "at $dpi DPI the driver gave ${#rects[@]} rectangles, not 4"
  read -r _ _ _ _ sl st sr sb _ _ <<< "${rects[0]}"
  read -r bl bt br bb cl ct cr cb _ _ <<< "${rects[1]}"
  inside "$bl $bt $br $bb" "$sl $st $sr $sb" || e2e_fail "at $dpi DPI the directory box ($bl $bt $br $bb) leaves the dialog ($sl $st $sr $sb)"
  local text; text=$(dark "$shots/setup_dialog.png" "$cl" "$ct" "$cr" "$cb")
  ((text > 20)) || e2e_fail "at $dpi DPI no text is drawn in the directory box ($text dark pixels)"
  # c:\Galvery is drawn from the left: the right half of a box that wide stays empty.
  local half; half=$(dark "$shots/setup_dialog.png" $(((cl + cr) / 2)) "$ct" "$cr" "$cb")
  ((half == 0)) || e2e_fail "at $dpi DPI the directory box has text in its right half ($half dark pixels)"

  read -r _ _ _ _ al at ar ab _ _ <<< "${rects[2]}"
  read -r el et er eb xl xt xr xb ml mr <<< "${rects[3]}"
  inside "$el $et $er $eb" "$al $at $ar $ab" || e2e_fail "at $dpi DPI the text box ($el $et $er $eb) leaves the dialog ($al $at $ar $ab)"
  text=$(dark "$shots/agreement_dialog.png" "$xl" "$xt" "$xr" "$xb")
  ((text > 1000)) || e2e_fail "at $dpi DPI the agreement is not drawn in its box ($text dark pixels)"
  # A line clipped at the right edge would reach into the right margin.
  local margin=$((mr > 0 ? mr : 1)) clipped
  clipped=$(dark "$shots/agreement_dialog.png" $((xr - margin)) "$xt" "$xr" "$xb")
  ((clipped == 0)) || e2e_fail "at $dpi DPI text reaches the right margin of the agreement box ($clipped dark pixels in x $((xr - margin)) to $xr)"
  echo "e2e: at $dpi DPI both dialogs hold their boxes, the directory and the agreement fit them ($text dark pixels of text, none in the ${margin}-pixel margin)"
  widths+=($((sr - sl)))
}

widths=()
set_dpi 96
check_at 96
set_dpi 144
check_at 144
# Half as large again, give or take the rounding of dialog units and the frame.
awk -v a="${widths[0]}" -v b="${widths[1]}" 'BEGIN { r = b / a; exit !(r > 1.35 && r < 1.65) }' ||
  e2e_fail "the setup dialog is ${widths[0]} pixels wide at 96 DPI and ${widths[1]} at 144: not scaled by half"
echo "e2e: the setup dialog is ${widths[0]} pixels wide at 96 DPI, ${widths[1]} at 144"
