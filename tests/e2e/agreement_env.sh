# The license agreement as the end-to-end tests expect to see it: source it after
# wine_env.sh.

# The agreement as the dialog shows it under Wine: wrapped to the text box in the box's
# font (the template's MS Sans Serif, drawn with Wine's substitute), every line ending
# in a space, a blank line between the paragraphs.
E2E_AGREEMENT_LINES=(
  'LICENSOR MAKES NO GUARANTEE THAT LICENSEE WILL BE SATISFIED WITH '
  'THIS PROGRAM. LICENSEE ALONE IS RESPONSIBLE FOR THE RESULTS '
  'OBTAINED FROM THE PROGRAM AND FOR ITS INSTALLATION AND USE. THE '
  'PROGRAM IS PROVIDED AS IS, WITHOUT WARRANTY OF ANY KIND, EXPRESS '
  'OR IMPLIED, INCLUDING THE IMPLIED WARRANTIES OF MERCHANTABILITY AND '
  'FITNESS FOR A PARTICULAR PURPOSE. IN NO EVENT SHALL LICENSOR BE '
  'LIABLE FOR ANY DAMAGES, INCIDENTAL OR CONSEQUENTIAL, ARISING OUT OF '
  'THE USE OF THIS PROGRAM, EVEN IF LICENSOR HAS BEEN ADVISED OF THE '
  'POSSIBILITY OF SUCH DAMAGES. '
  ''
  'LICENSEE ACKNOWLEDGES THAT LICENSEE HAS READ THIS LICENSE, '
  'UNDERSTANDS IT AND AGREES TO BE BOUND BY ITS TERMS, AND THAT IT IS '
  'THE COMPLETE AND EXCLUSIVE STATEMENT OF THE AGREEMENT BETWEEN '
  'LICENSEE AND LICENSOR, AND SUPERSEDES ANY PRIOR AGREEMENT, ORAL '
  'OR WRITTEN, AND ANY COMMUNICATION ON THE SUBJECT OF THIS LICENSE. '
)
# The text of control 1016: the lines joined with CR LF, the last one too.
printf -v E2E_AGREEMENT_TEXT '%s\r\n' "${E2E_AGREEMENT_LINES[@]}"

# Where screenshots are kept after the test, passing or not.
: "${E2E_ARTIFACTS:=$E2E_TOP/build/native/tests/e2e/$E2E_ARCH/artifacts}"

# e2e_screenshot_settled FILE: a screenshot once the screen has stopped changing and
# shows something: the driver finds a dialog before X has drawn it.
e2e_screenshot_settled() {
  local file="$1" sum mean tries=0 recent=()
  while ((tries++ < 50)); do
    e2e_screenshot "$file"
    sum=$(convert "$file" -format '%#' info:)
    mean=$(convert "$file" -colorspace Gray -format '%[fx:mean]' info:)
    # The same picture as one of the last two: a text box with the focus blinks its caret,
    # and screenshots as far apart as its blink (a loaded machine) never see one twice in
    # a row.
    if [[ " ${recent[*]} " == *" $sum "* ]] && awk -v m="$mean" 'BEGIN { exit !(m > 0.01) }'; then
      echo "e2e: screenshot $file (mean brightness $mean)"
      return 0
    fi
    recent=("$sum" "${recent[@]:0:1}")
    sleep 0.2
  done
  e2e_fail "the screen did not settle on a drawn window for $file"
}

# The words of the agreement, one a line, in order.
e2e_agreement_words() {
  printf '%s\n' "${E2E_AGREEMENT_LINES[@]}" | tr -s ' ' '\n' | sed '/^$/d'
}

# e2e_expect_printed_agreement PDF: one document "Print job" holding the whole agreement,
# word for word, in a serif face (Times New Roman is Liberation Serif under Wine).
e2e_expect_printed_agreement() {
  local pdf="$1" title fonts
  title=$(pdfinfo "$pdf" | sed -n 's/^Title: *//p')
  [ "$title" = "Print job" ] || e2e_fail "$pdf is titled \"$title\", not \"Print job\""
  fonts=$(pdffonts "$pdf" | tail -n +3 | awk '{ print $1 }' | sed 's/^[A-Z]*+//' | sort -u | tr '\n' ' ')
  [ "$fonts" = "LiberationSerif " ] || e2e_fail "$pdf is set in $fonts, not in the serif face alone"
  diff <(e2e_agreement_words) <(pdftotext -raw "$pdf" - | tr -s ' \f' '\n\n' | sed '/^$/d') >&2 ||
    e2e_fail "$pdf does not hold the agreement word for word (above: - expected, + printed)"
  echo "e2e: $(basename "$pdf"): \"$title\", the whole agreement in $fonts"
}

# e2e_expect_agreement_layout PDF DPI: the page layout of the printed agreement, from the
# position of every line. With the page H x V pixels at DPI: every line starts at
# x = H / 20; the first line of every page at y = V / 20; lines follow one line height
# apart (two across the blank line, which prints nothing); and a page ends after the line
# that takes y past V - 2 (V / 20), not before. The top of a line as the PDF gives it lies
# a constant distance below the y it was drawn at (the font's internal leading), taken
# from the first line. Prints "PAGES LINES-PER-PAGE..." on success.
e2e_expect_agreement_layout() {
  local pdf="$1" dpi="$2" size
  size=$(pdfinfo "$pdf" | sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1 \2/p')
  [ -n "$size" ] || e2e_fail "no page size in $pdf"
  pdftotext -bbox "$pdf" - | awk -v size="$size" -v dpi="$dpi" '
    function fail(why) { print "layout: " why > "/dev/stderr"; bad = 1; exit 1 }
    function near(a, b) { return a - b <= 1.5 && b - a <= 1.5 }
    BEGIN {
      split(size, s, " ")
      H = int(s[1] * dpi / 72); V = int(s[2] * dpi / 72)
      x = int(H / 20); top = int(V / 20); limit = V - 2 * top
    }
    /<page / { pages++; n[pages] = 0 }
    /<word / {
      match($0, /xMin="[0-9.]+"/); wx = substr($0, RSTART + 6, RLENGTH - 7) * dpi / 72
      match($0, /yMin="[0-9.]+"/); wy = substr($0, RSTART + 6, RLENGTH - 7) * dpi / 72
      # The first word of a line: a new top on this page.
      if (n[pages] == 0 || !near(wy, y[pages, n[pages]])) {
        n[pages]++; y[pages, n[pages]] = wy
        if (!near(wx, x)) fail(sprintf("page %d line %d starts at x %.1f, not %d", pages, n[pages], wx, x))
      }
    }
    END {
      if (bad) exit 1
      if (pages < 1 || n[1] < 2) fail("too little text to see the layout")
      lead = y[1, 1] - top; h = y[1, 2] - y[1, 1]
      if (lead < 0 || lead > h / 2) fail(sprintf("first line top %.1f is not just below %d", y[1, 1], top))
      out = pages
      for (p = 1; p <= pages; p++) {
        if (!near(y[p, 1] - lead, top)) fail(sprintf("page %d starts at %.1f, not %d", p, y[p, 1] - lead, top))
        for (i = 2; i <= n[p]; i++) {
          d = y[p, i] - y[p, i - 1]
          if (!near(d, h) && !near(d, 2 * h)) fail(sprintf("page %d line %d is %.1f below the one before, not %.1f", p, i, d, h))
        }
        last = y[p, n[p]] - lead
        if (last > limit + 1.5) fail(sprintf("page %d has a line at %.1f, below the limit %d", p, last, limit))
        if (p < pages && last + h <= limit) fail(sprintf("page %d ends at %.1f although a line fitted before %d", p, last, limit))
        out = out " " n[p]
      }
      printf "%s\n", out
      printf "e2e: %d x %d pixels: x %d, top %d, limit %d, line height %.0f; pages and lines: %s\n", H, V, x, top, limit, h, out > "/dev/stderr"
    }' || e2e_fail "$pdf is not laid out as the agreement should be"
}
