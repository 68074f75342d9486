#!/usr/bin/env bash
# "Print" with a PDF printer as the default printer (A4 at 300 dpi): each click prints
# one document "Print job" holding the whole agreement in a serif face, laid out on one
# page; two clicks give two such documents with the same text and layout, and the
# dialog shows what it showed before.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../agreement_env.sh"
source "$(dirname "$0")/../cups_env.sh"
e2e_init
e2e_cups_start A4

# Checks the PDFs printed so far: COUNT of them, each the agreement on one A4 page.
expect_pdfs() {
  local pdf pages
  for pdf in $(e2e_wait_pdfs "$1"); do
    e2e_expect_printed_agreement "$pdf"
    pages=$(pdfinfo "$pdf" | sed -n 's/^Page size: *//p')
    [[ "$pages" == "595 x 842 pts (A4)"* ]] || e2e_fail "$pdf is not on A4 but on $pages"
    [ "$(e2e_expect_agreement_layout "$pdf" 300)" = "1 20" ] || e2e_fail "$pdf: not 20 lines on one page"
  done
}

e2e_setup_file 'C:\dl\SetupGalvery.exe'
e2e_driver_async start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1017 \
  checkpoint "$(e2e_checkpoint first)" \
  click 1017 \
  checkpoint "$(e2e_checkpoint second)" \
  text 1016 "$E2E_AGREEMENT_TEXT" \
  click 2 \
  no-window 0.5 \
  dialog 'Setup Galvery' \
  click 2 \
  exit 0
e2e_at_checkpoint first expect_pdfs 1
e2e_at_checkpoint second expect_pdfs 2
e2e_driver_wait
# Every word with its box, page by page (the documents' dates may differ).
words() { pdftotext -bbox "$1" - | grep -E '<(page|word) '; }
pdfs=($(ls -tr "$E2E_PDF_DIR"/*.pdf))
cmp <(words "${pdfs[0]}") <(words "${pdfs[1]}") || e2e_fail "the two prints differ in text or layout"
echo "e2e: the two prints hold the same words in the same places"
