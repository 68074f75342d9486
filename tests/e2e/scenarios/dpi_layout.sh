#!/usr/bin/env bash
# The dialogs at 96 and at 144 DPI (150 %), drawn on a real X server. At each: the setup
# dialog and its directory box, with c:\Galvery drawn inside the box; the agreement
# dialog with its text box inside it, every line of the agreement fitting the box (each
# ends inside the box's text area, and no text is drawn in its right margin, where a
# clipped line would end); screenshots of both kept as artifacts. At 144 DPI the dialogs
# are half as large again. (Wine scales every program alike, aware of DPI or not: this
# checks the layout and the wrapping at 144 DPI; the blur of an unaware program exists
# on Windows only.)
# The setup dialog opens centred in the work area; moved off the centre, the agreement opens
# centred over it (kept within the work area). The agreement is drawn on white, while the
# rest of its read-only box and the dialog around it keep the face colour.
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

# pixel FILE X Y: the colour of that pixel, as srgb(R,G,B).
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

# expect_centred WHAT "L T R B" "L T R B" "L T R B": the first window is where a dialog that
# size is centred over the second rectangle, moved into the work area (the third) where it
# would leave it; give or take 2 pixels.
expect_centred() {
  local l t r b ol ot or ob wl wt wr wb
  read -r l t r b <<< "$2"
  read -r ol ot or ob <<< "$3"
  read -r wl wt wr wb <<< "$4"
  local w=$((r - l)) h=$((b - t))
  local x=$((ol + (or - ol - w) / 2)) y=$((ot + (ob - ot - h) / 2))
  ((x + w <= wr)) || x=$((wr - w))
  ((y + h <= wb)) || y=$((wb - h))
  ((x >= wl)) || x=$wl
  ((y >= wt)) || y=$wt
  ((l - x >= -2 && l - x <= 2 && t - y >= -2 && t - y <= 2)) ||
    e2e_fail "$1 opened at $l $t, not centred over $3 at $x $y (work area $4)"
  echo "e2e: $1 ($2) is centred over $3 (work area $4)"
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
    workarea \
    rect 0 \
    move -60 -80 \
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

  # The rectangles in order: setup dialog as it opened and once moved, directory box,
  # agreement dialog, text box.
  mapfile -t rects < <(tr -d '\r' < "$E2E_WORK/transcript.txt" |
    awk '$1 == "rect" { print $4, $5, $6, $7, $9, $10, $11, $12, $14, $15 }')
  ((${#rects[@]} == 5)) || e2e_fail "at $dpi DPI the driver gave ${#rects[@]} rectangles, not 5"
  local opened=${rects[0]}
  rects=("${rects[@]:1}")
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
  # The framework centres a dialog that did not place itself: the setup dialog, which has
  # no owner, in the work area; the agreement over the setup dialog, which the driver moved
  # off the centre first, kept within the work area.
  local wl wt wr wb
  read -r wl wt wr wb < <(tr -d '\r' < "$E2E_WORK/transcript.txt" | awk '$1 == "workarea" { print $2, $3, $4, $5 }')
  [ -n "$wb" ] || e2e_fail "at $dpi DPI the driver gave no work area"
  local swl swt swr swb awl awt awr awb
  read -r swl swt swr swb _ <<< "$opened"
  expect_centred "at $dpi DPI the setup dialog" "$swl $swt $swr $swb" "$wl $wt $wr $wb" "$wl $wt $wr $wb"
  read -r swl swt swr swb _ <<< "${rects[0]}"
  read -r awl awt awr awb _ <<< "${rects[2]}"
  expect_centred "at $dpi DPI the agreement" "$awl $awt $awr $awb" "$swl $swt $swr $swb" "$wl $wt $wr $wb"

  local shot="$shots/agreement_dialog.png" behind margin_colour face
  # The top row of the first line lies in the font's internal leading, above every capital
  # letter: the text's background; its middle stays clear of the caret at its start.
  behind=$(pixel "$shot" $(((xl + xr) / 2)) $((xt + 1)))
  margin_colour=$(pixel "$shot" $((xr - 2)) $((xt + 1)))
  # The dialog's face under the box, left of the buttons.
  face=$(pixel "$shot" $((al + 3)) $((ab - 3)))
  [ "$behind" = "srgb(255,255,255)" ] || e2e_fail "at $dpi DPI the agreement's text is drawn on $behind, not on white"
  [ "$face" != "srgb(255,255,255)" ] || e2e_fail "at $dpi DPI the agreement dialog's face is white"
  [ "$margin_colour" = "$face" ] ||
    e2e_fail "at $dpi DPI the agreement box beside its text is $margin_colour, not the dialog's face colour $face"
  echo "e2e: at $dpi DPI the agreement's text is drawn on white, the rest of its box in the face colour $face"
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
