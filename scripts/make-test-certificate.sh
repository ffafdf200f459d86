#!/usr/bin/env bash
# Makes, once, the test code-signing identity that a release build uses when no company
# certificate is given: a test root CA and a code-signing certificate issued by it, in
# <dir>/test-signing.pfx (password in <dir>/test-signing.password) with the root in
# <dir>/test-root.pem for verification. Kept under build/, never committed. Made afresh when the
# signing certificate is missing or expires within 30 days. The root's key is thrown away once it
# has issued the one certificate, so nothing else can ever chain to this root.
set -euo pipefail
dir=${1:?usage: make-test-certificate.sh <dir>}
mkdir -p "$dir"
pfx="$dir/test-signing.pfx"
password="$dir/test-signing.password"
root="$dir/test-root.pem"
leaf="$dir/test-signing.pem"

if [ -f "$pfx" ] && [ -f "$password" ] && [ -f "$root" ] && [ -f "$leaf" ] &&
  openssl x509 -in "$leaf" -noout -checkend $((30 * 86400)) >/dev/null; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 077
openssl rand -hex 24 > "$password"
openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 3650 \
  -subj "/O=Vantrel/CN=Vantrel Test Code Signing Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$work/root.key" -out "$root" 2>/dev/null
openssl req -new -newkey rsa:3072 -sha256 -nodes -subj "/O=Vantrel/CN=Vantrel Test Code Signing" \
  -keyout "$work/leaf.key" -out "$work/leaf.csr" 2>/dev/null
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" > "$work/leaf.ext"
openssl x509 -req -sha256 -days 825 -in "$work/leaf.csr" -CA "$root" -CAkey "$work/root.key" \
  -set_serial "0x$(openssl rand -hex 16)" -extfile "$work/leaf.ext" -out "$leaf" 2>/dev/null
openssl pkcs12 -export -inkey "$work/leaf.key" -in "$leaf" -certfile "$root" \
  -name "Vantrel Test Code Signing" -passout "file:$password" -out "$pfx"
echo "make-test-certificate: made a test signing certificate in $dir"
