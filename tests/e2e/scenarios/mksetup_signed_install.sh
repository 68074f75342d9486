#!/usr/bin/env bash
# A signed setup file installs. mksetup builds SetupGalvery.exe from the stub and two files
# and signs it (--sign) with a certificate made here; osslsigncode verify accepts the
# signature. The setup program, run from the signed file: OK/Save, "I accept", the report
# of both files, No to the shortcut question, exit code 0. C:\Galvery then holds the two
# files with the packed bytes, and the pack file, which is everything behind the second
# marker: the archive and, behind it, the certificate table.
source "$(dirname "$0")/../wine_env.sh"
source "$(dirname "$0")/../install_env.sh"
[ -n "$E2E_MKSETUP" ] || e2e_fail "this scenario needs the packager: build the native preset and set E2E_MKSETUP"
for tool in osslsigncode openssl; do
  command -v "$tool" >/dev/null || e2e_fail "$tool is missing (scripts/bootstrap.sh installs it)"
done
e2e_init

w="$E2E_WORK/vendor"
mkdir -p "$w" "$E2E_C/dl"
for i in $(seq 1 4000); do echo "line $i of the program"; done > "$w/Galvery.EXE"
printf 'Galvery help\r\n' > "$w/Galvery.HLP"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$w/key.pem" -out "$w/cert.pem" -days 30 \
  -subj "/CN=Galvery test vendor" 2> "$w/openssl.txt" || e2e_fail "openssl: $(cat "$w/openssl.txt")"

setup="$E2E_C/dl/SetupGalvery.exe"
start=$(e2e_now)
"$E2E_MKSETUP" build --stub "$E2E_STUB" --product Galvery --out "$setup" \
  --add d:/Galvery/RELEASE/Galvery.EXE="$w/Galvery.EXE" --add d:/Galvery/HLP/Galvery.HLP="$w/Galvery.HLP" \
  --sign "$w/cert.pem" --key "$w/key.pem" > "$w/build.txt" 2>&1 || e2e_fail "mksetup build --sign: $(cat "$w/build.txt")"
echo "e2e: built and signed $(basename "$setup") ($(stat -c %s "$setup") bytes) in $(e2e_since "$start")"
osslsigncode verify -CAfile "$w/cert.pem" -in "$setup" > "$w/osslsigncode.txt" 2>&1 ||
  e2e_fail "osslsigncode verify rejects the signature: $(cat "$w/osslsigncode.txt")"
echo "e2e: osslsigncode verify accepts the signature"
"$E2E_MKSETUP" verify --product Galvery "$setup" > "$w/verify.txt" 2>&1 || e2e_fail "mksetup verify: $(cat "$w/verify.txt")"
grep -q 'signature: certificate table of' "$w/verify.txt" || e2e_fail "the setup file is not signed: $(cat "$w/verify.txt")"

# What the setup program copies out: everything behind the second marker.
second=$(sed -n 's/^  markers:   2 (at offsets [0-9]*, \([0-9]*\))$/\1/p' "$w/verify.txt")
[ -n "$second" ] || e2e_fail "no second marker in: $(cat "$w/verify.txt")"
tail -c +$((second + 8 + 1)) "$setup" > "$w/expected-pack"

e2e_report report 'c:\Galvery\Galvery.EXE' 'c:\Galvery\Galvery.HLP'
e2e_mark
e2e_driver start 'C:\dl\SetupGalvery.exe' '"C:\dl\SetupGalvery.exe"' \
  dialog 'Setup Galvery' \
  text 1000 'c:\Galvery' \
  click 1 \
  dialog 'License Agreement' \
  click 1 \
  msgbox SetupGalvery "$report" 1 \
  click 1 \
  "${E2E_NO_SHORTCUT[@]}" \
  exit 0

e2e_expect_listing 'C:\Galvery' Galvery.EXE Galvery.HLP Galvery_pack.zip
for f in Galvery.EXE Galvery.HLP; do
  cmp -s "$w/$f" "$E2E_C/Galvery/$f" || e2e_fail "C:\\Galvery\\$f is not the file that was packed"
done
echo "e2e: Galvery.EXE and Galvery.HLP are installed with the packed bytes"
cmp -s "$E2E_C/Galvery/Galvery_pack.zip" "$w/expected-pack" || e2e_fail "the pack file is not the bytes behind the second marker"
echo "e2e: the pack file holds the archive and the certificate table ($(stat -c %s "$w/expected-pack") bytes)"
osslsigncode verify -CAfile "$w/cert.pem" -in "$setup" > "$w/osslsigncode.txt" 2>&1 ||
  e2e_fail "the setup file's signature no longer verifies after the installation"
