# A PDF printer for the end-to-end tests: source it after wine_env.sh and e2e_init.
#
# e2e_cups_start runs a CUPS scheduler of the test's own (its configuration, spool and
# socket in a folder of its own under /tmp, linked as $E2E_WORK/cups; its logs are
# copied into $E2E_WORK/cups-log at the end) with one cups-pdf queue as its default
# printer, and points
# libcups at it through CUPS_SERVER, which Wine and the programs it starts inherit.
# Nothing of the machine's own CUPS is used or changed, so tests with and without a
# printer run side by side. The only file outside the test's folder is cups-pdf's
# configuration, whose place is fixed (/etc/cups/cups-pdf-QUEUE.conf); the queue is
# named after the test's process, and the file goes when the test ends.
#
# e2e_no_printer points libcups at a socket where nothing listens: no default printer.
#
# Needs root (cups-pdf runs as root to write its PDFs) and the packages cups,
# printer-driver-cups-pdf and poppler-utils.

E2E_CUPS_PID=
E2E_CUPS_QUEUE=
E2E_CUPS_ROOT=

e2e_no_printer() {
  export CUPS_SERVER="$E2E_WORK/no-cups.sock"
  echo "e2e: no printer (CUPS_SERVER=$CUPS_SERVER)"
}

# e2e_cups_start [PAGESIZE]: the default printer prints PDFs into $E2E_PDF_DIR, on A4
# unless PAGESIZE names another of the queue's page sizes (e.g. EnvMonarch).
e2e_cups_start() {
  local size="${1:-A4}" root waited=0
  command -v cupsd >/dev/null && [ -x /usr/lib/cups/backend/cups-pdf ] ||
    e2e_fail "CUPS or cups-pdf is missing: run scripts/bootstrap.sh"
  # CUPS runs its filters as the lp user, which must reach the spool: the test's own
  # folder may lie below one that only root can enter (a fresh clone in a mktemp folder
  # does). A short path also keeps the socket's name within its 108 bytes.
  root=$(mktemp -d /tmp/e2e-cups.XXXXXX)
  chmod 755 "$root"
  E2E_CUPS_ROOT="$root"
  ln -sfn "$root" "$E2E_WORK/cups"
  E2E_CUPS_QUEUE="e2epdf$$"
  E2E_PDF_DIR="$E2E_WORK/pdf"
  mkdir -p "$root/etc" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log" "$root/cups-pdf" "$E2E_PDF_DIR"
  cat > "$root/etc/cups-files.conf" <<EOF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
SystemGroup root
EOF
  cat > "$root/etc/cupsd.conf" <<EOF
LogLevel info
Listen $root/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  printf 'Out %s\nLog %s\nSpool %s\n' "$E2E_PDF_DIR" "$root/log" "$root/cups-pdf" > "/etc/cups/cups-pdf-$E2E_CUPS_QUEUE.conf"
  # The EXIT trap of e2e_init must also stop the scheduler and take the file away; the
  # test's status is the one it exited with, not the cleanup's.
  trap 'e2e_cups_status=$?; e2e_cups_cleanup; e2e_cleanup $e2e_cups_status' EXIT

  cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" > "$root/log/cupsd.out" 2>&1 &
  E2E_CUPS_PID=$!
  export CUPS_SERVER="$root/cups.sock"
  until [ -S "$CUPS_SERVER" ]; do
    ((waited++ < 100)) || e2e_fail "cupsd did not start (see $root/log)"
    sleep 0.1
  done
  lpadmin -p "$E2E_CUPS_QUEUE" -E -v "cups-pdf:/$E2E_CUPS_QUEUE" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    -o "PageSize=$size" 2>&1 | grep -v 'drivers are deprecated' || true
  lpadmin -d "$E2E_CUPS_QUEUE"
  [ "$(lpstat -d)" = "system default destination: $E2E_CUPS_QUEUE" ] || e2e_fail "the PDF queue is not the default printer"
  echo "e2e: default printer $E2E_CUPS_QUEUE ($size) prints into $E2E_PDF_DIR"
}

e2e_cups_cleanup() {
  if [ -n "$E2E_CUPS_PID" ]; then
    kill "$E2E_CUPS_PID" 2>/dev/null || true
    wait "$E2E_CUPS_PID" 2>/dev/null || true
  fi
  [ -z "$E2E_CUPS_QUEUE" ] || rm -f "/etc/cups/cups-pdf-$E2E_CUPS_QUEUE.conf"
  if [ -n "$E2E_CUPS_ROOT" ]; then
    cp -r "$E2E_CUPS_ROOT/log" "$E2E_WORK/cups-log" 2>/dev/null || true
    rm -rf "$E2E_CUPS_ROOT" "$E2E_WORK/cups"
  fi
}

# e2e_wait_pdfs COUNT: waits until the queue is idle and COUNT PDFs are there; prints
# their paths, oldest first. cups-pdf names them after the job, so they are globbed.
e2e_wait_pdfs() {
  local count="$1" waited=0 found
  while :; do
    found=$(find "$E2E_PDF_DIR" -name '*.pdf' | wc -l)
    if [ "$found" -ge "$count" ] && [ -z "$(lpstat -o "$E2E_CUPS_QUEUE")" ]; then break; fi
    ((waited++ < 300)) || e2e_fail "expected $count PDF(s) in $E2E_PDF_DIR, found $found after 30 s (the scheduler's logs go to $E2E_WORK/cups-log)"
    sleep 0.1
  done
  [ "$found" = "$count" ] || e2e_fail "expected $count PDF(s) in $E2E_PDF_DIR, found $found"
  ls -tr "$E2E_PDF_DIR"/*.pdf
}
