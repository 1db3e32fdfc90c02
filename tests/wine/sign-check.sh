#!/usr/bin/env bash
# The signing of the shipped programs, as a CD maker does it, with a
# certificate made for this test: copies the programs into OUT_DIR (the
# build's own programs stay unsigned, for the other tests), signs the copies
# with scripts/sign.sh and checks each signature with osslsigncode verify.
#
#   sign-check.sh OUT_DIR PROGRAM.exe... [--beside FILE...]
#
# FILE (answer_dialogs.exe, which runs the signed program under Wine) is
# copied beside the signed copies, unsigned.
#
# Passes when every copy carries one SHA-256 Authenticode signature that
# verifies against the test certificate, whose signed digest is the file's
# (osslsigncode prints both), signed by the test certificate's subject;
# when a program signed a second time still carries one valid signature; and
# when a copy changed by one byte after signing fails the verification (so
# that the check can fail at all). The import and header checks and a
# removal run under Wine then run on OUT_DIR's copies (tests/wine/wine_tests.cmake).
set -u

out=$1
shift
repo=$(cd "$(dirname "$0")/../.." && pwd)
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
step() { echo "== $*"; }

command -v osslsigncode >/dev/null || fail "osslsigncode not found (apt-get install osslsigncode)"
command -v openssl >/dev/null || fail "openssl not found"
rm -rf "$out"
mkdir -p "$out/cert" || fail "cannot make $out"

step "a code-signing certificate for the test, its key protected by a password"
subject="/C=HU/O=ORVEX test CD maker/CN=ORVEX test CD maker"
echo "test password $$" >"$out/cert/pass.txt"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "$subject" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$out/cert/key.pem" -passout "file:$out/cert/pass.txt" -out "$out/cert/cert.pem" \
  2>"$out/cert/openssl.log" || { cat "$out/cert/openssl.log" >&2; fail "openssl req"; }

copies=()
beside=0
for program in "$@"; do
  [ "$program" = --beside ] && { beside=1; continue; }
  [ -f "$program" ] || fail "$program not found"
  cp "$program" "$out/" || fail "cannot copy $program"
  [ $beside = 1 ] || copies+=("$out/$(basename "$program")")
done
[ ${#copies[@]} -gt 0 ] || fail "no program to sign"

step "signing ${#copies[@]} programs with scripts/sign.sh"
bash "$repo/scripts/sign.sh" --cert "$out/cert/cert.pem" --key "$out/cert/key.pem" \
  --pass "$out/cert/pass.txt" "${copies[@]}" || fail "scripts/sign.sh"

# One signature per file, valid against the test certificate, SHA-256, the
# digest signed equal to the file's, signed by the test maker.
check_signature() {
  local file=$1 log
  log=$(osslsigncode verify -CAfile "$out/cert/cert.pem" -in "$file" 2>&1)
  local status=$?
  echo "$log" | grep -E 'Signature Index|Message digest algorithm|message digest|Subject:|Signature verification|Number of verified|Succeeded|Failed' |
    sed "s|^|  $(basename "$file"): |"
  [ $status = 0 ] || return 1
  # One signature: one verification (osslsigncode verifies each nested one).
  [ "$(echo "$log" | grep -c '^Signature verification: ')" = 1 ] ||
    { echo "  not one signature"; return 1; }
  echo "$log" | grep -Eq 'Message digest algorithm *: *SHA256' || { echo "  not SHA-256"; return 1; }
  local current calculated
  current=$(echo "$log" | sed -n 's/^Current message digest *: *//p' | head -1)
  calculated=$(echo "$log" | sed -n 's/^Calculated message digest *: *//p' | head -1)
  [ -n "$current" ] && [ "$current" = "$calculated" ] ||
    { echo "  signed digest '$current' is not the file's '$calculated'"; return 1; }
  echo "$log" | grep -q 'Subject:.*ORVEX test CD maker' || { echo "  not the test maker's"; return 1; }
  echo "$log" | grep -q '^Signature verification: ok' || return 1
}

step "the signatures"
for copy in "${copies[@]}"; do
  check_signature "$copy" || fail "$(basename "$copy"): the signature does not verify"
done

step "signing again replaces the signature"
first=${copies[0]}
cp "$first" "$out/again.exe"
bash "$repo/scripts/sign.sh" --cert "$out/cert/cert.pem" --key "$out/cert/key.pem" \
  --pass "$out/cert/pass.txt" "$out/again.exe" || fail "signing a signed program"
check_signature "$out/again.exe" || fail "a program signed twice does not verify"

step "a byte changed after signing breaks the signature"
cp "$first" "$out/changed.exe"
# A byte of the code, well inside the file (the first section starts at 0x400).
printf '\x90' | dd of="$out/changed.exe" bs=1 seek=$((0x600)) conv=notrunc status=none
if osslsigncode verify -CAfile "$out/cert/cert.pem" -in "$out/changed.exe" >/dev/null 2>&1; then
  fail "a changed program still verifies"
fi
echo "  changed.exe: refused, as it must be"
rm -f "$out/changed.exe" "$out/again.exe"

step "a wrong password is refused and leaves the program as it was"
echo wrong >"$out/cert/wrong.txt"
cp "$first" "$out/wrong.exe"
before=$(sha256sum <"$out/wrong.exe")
if bash "$repo/scripts/sign.sh" --cert "$out/cert/cert.pem" --key "$out/cert/key.pem" \
     --pass "$out/cert/wrong.txt" "$out/wrong.exe" 2>/dev/null; then
  fail "signing with a wrong password succeeded"
fi
[ "$(sha256sum <"$out/wrong.exe")" = "$before" ] || fail "a failed signing changed the program"
rm -f "$out/wrong.exe" "$out/wrong.exe.signing"
echo "signed programs in $out"
