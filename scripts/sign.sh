#!/usr/bin/env bash
# Signs the shipped programs in place with the CD maker's Authenticode
# certificate (osslsigncode, Debian package osslsigncode): a SHA-256
# signature, so that the elevation prompt names the maker instead of
# "Unknown publisher".
#
#   bash scripts/sign.sh --cert CERT.pem --key KEY.pem [--pass FILE]
#                        [--timestamp URL] [--name TEXT] PROGRAM.exe...
#
# --cert   the code-signing certificate, PEM, followed by the intermediate
#          certificates of its chain (they go into the signature, so that
#          Windows can build the chain to its root)
# --key    its private key, PEM
# --pass   a file whose first line is the key's password
# --timestamp  an RFC 3161 time-stamping server of the certificate's
#          authority: the signature then stays valid after the certificate
#          expires
# --name   the description the signature carries (default: the product name)
#
# Each PROGRAM is signed into a temporary file beside it, which replaces it
# only when osslsigncode succeeded; a program that was signed before gets the
# new signature in place of the old one (osslsigncode without -nest). Exit
# code 0 when every program was signed, 1 when one failed, 2 for a bad
# command line.
set -u

usage() {
  echo "usage: sign.sh --cert CERT.pem --key KEY.pem [--pass FILE] [--timestamp URL]" \
       "[--name TEXT] PROGRAM.exe..." >&2
  exit 2
}

cert='' key='' pass='' timestamp='' name='ORVEX 3G/GSM USB driver installer'
while [ $# -gt 0 ]; do
  case $1 in
    --cert) [ $# -ge 2 ] || usage; cert=$2; shift 2 ;;
    --key) [ $# -ge 2 ] || usage; key=$2; shift 2 ;;
    --pass) [ $# -ge 2 ] || usage; pass=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    --name) [ $# -ge 2 ] || usage; name=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ -n "$cert" ] && [ -n "$key" ] && [ $# -gt 0 ] || usage
command -v osslsigncode >/dev/null ||
  { echo "sign.sh: osslsigncode not found (apt-get install osslsigncode)" >&2; exit 2; }
for file in "$cert" "$key" ${pass:+"$pass"}; do
  [ -r "$file" ] || { echo "sign.sh: cannot read $file" >&2; exit 2; }
done

options=(-certs "$cert" -key "$key" -h sha256 -n "$name")
[ -n "$pass" ] && options+=(-readpass "$pass")
[ -n "$timestamp" ] && options+=(-ts "$timestamp")

status=0
for program in "$@"; do
  if [ ! -f "$program" ]; then
    echo "FAIL $program: no such file" >&2
    status=1
    continue
  fi
  signed="$program.signing"
  rm -f "$signed"
  if osslsigncode sign "${options[@]}" -in "$program" -out "$signed" >"$signed.log" 2>&1 &&
     mv -f "$signed" "$program"; then
    echo "signed $program"
  else
    echo "FAIL $program: osslsigncode could not sign it:" >&2
    cat "$signed.log" >&2
    rm -f "$signed"
    status=1
  fi
  rm -f "$signed.log"
done
exit $status
