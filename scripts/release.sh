#!/usr/bin/env bash
# Assembles a release as a driver-package team takes it, in build/release/<version>/ and
# build/release/vantrel-uart-bluetooth-<version>.zip. Builds the shipping binaries from scratch
# in build/release-work/ (not the test builds), runs their footprint and PE checks, signs them
# (Authenticode, SHA-256) as the last change made to them, verifies the signatures and writes
# the deployment notes, the answer-file template and SHA256SUMS beside them.
#
# Signing identity, from the environment:
#   VANTREL_SIGN_PFX        the company's code-signing certificate and key (PKCS#12 file)
#   VANTREL_SIGN_PASSWORD   its password
#   VANTREL_TIMESTAMP_URL   an RFC 3161 time-stamping service (none by default)
#   VANTREL_SIGN_CAFILE     the root(s) to verify the signatures against (default: the system's)
# Without VANTREL_SIGN_PFX the build signs with a test certificate of its own, made once under
# build/release-signing/ (not trusted by Windows). SOURCE_DATE_EPOCH, when set, fixes the
# signing time and the zip's time stamps.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

scripts/install-deps.sh
version=$(scripts/project-version.sh)
work="$repo_root/build/release-work"
bundle="vantrel-uart-bluetooth-$version"
# Assembled aside and moved into place only once everything passed, so that a failed run leaves
# no release behind that looks complete.
final_release="$repo_root/build/release/$version"
final_zip="$repo_root/build/release/$bundle.zip"
release="$work/assembly/$version"
zip_file="$work/assembly/$bundle.zip"
rm -rf "$final_release" "$final_zip" "$work/assembly"

echo "release: building $version from scratch in $work/build"
scripts/release-build.sh "$work/build"
stackboot="$work/build/win-i686/bootstrapper/stackboot.exe"
radiogate="$work/build/win-x64/radioctl/win32/radiogate.dll"

if [ -n "${VANTREL_SIGN_PFX:-}" ]; then
  [ -f "$VANTREL_SIGN_PFX" ] || { echo "release: no file $VANTREL_SIGN_PFX" >&2; exit 1; }
  pfx=$VANTREL_SIGN_PFX
  # Through a file of our own rather than the command line, where every process could read it.
  secrets=$(mktemp -d)
  trap 'rm -rf "$secrets"' EXIT
  password_file="$secrets/password"
  (umask 077 && printf '%s' "${VANTREL_SIGN_PASSWORD:-}" > "$password_file")
  signer_note=""
else
  scripts/make-test-certificate.sh "$repo_root/build/release-signing"
  pfx="$repo_root/build/release-signing/test-signing.pfx"
  password_file="$repo_root/build/release-signing/test-signing.password"
  signer_note="This is a test certificate that the build made: Windows does not trust it."
  signer_note+=" Not for distribution."
fi
sign_options=(-pkcs12 "$pfx" -readpass "$password_file" -h sha256)
[ -z "${VANTREL_TIMESTAMP_URL:-}" ] || sign_options+=(-ts "$VANTREL_TIMESTAMP_URL")
[ -z "${SOURCE_DATE_EPOCH:-}" ] || sign_options+=(-time "$SOURCE_DATE_EPOCH")

mkdir -p "$release"
# Signing is the last change made to the binaries; it must change nothing but the signature.
sign() {
  local unsigned=$1 description=$2 signed
  signed="$release/$(basename "$1")"
  osslsigncode sign "${sign_options[@]}" -n "$description" -in "$unsigned" -out "$signed" >/dev/null
  osslsigncode remove-signature -in "$signed" -out "$work/without-signature" >/dev/null
  cmp -s "$work/without-signature" "$unsigned" ||
    { echo "release: signing $signed changed more than its signature" >&2; exit 1; }
  rm -f "$work/without-signature"
}
sign "$stackboot" "Vantrel UART Bluetooth stack setup"
sign "$radiogate" "Vantrel Bluetooth Radio Control DLL"
scripts/verify-signature.sh "$release/stackboot.exe" "$release/radiogate.dll"

signer=$(osslsigncode verify -in "$release/stackboot.exe" 2>/dev/null |
  sed -n '/Signer #0:/{n;s/^[[:space:]]*Subject: //p;q}' || true)
# The subject goes into a sed replacement: its "&", "|" and "\" are taken literally.
signer=$(sed 's/[&|\\]/\\&/g' <<<"${signer:-unknown}")
crlf() { sed 's/\r*$/\r/' "$1"; }
crlf scripts/release-files/answers-template.ini > "$release/answers-template.ini"
crlf scripts/release-files/DEPLOYMENT.txt.in |
  sed -e "s|@VERSION@|$version|g" -e "s|@SIGNER@|$signer|" \
    -e "s|@SIGNER_NOTE@|$signer_note|" \
  > "$release/DEPLOYMENT.txt"
(cd "$release" && sha256sum -- DEPLOYMENT.txt answers-template.ini radiogate.dll stackboot.exe \
  > SHA256SUMS)

stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
/usr/bin/python3 - "$release" "$zip_file" "$bundle" "$stamp" <<'PY'
import os
import sys
import time
import zipfile

folder, target, bundle, stamp = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
# Fixed time stamps, order and attributes, so the zip depends on the files' bytes only.
date_time = max(time.gmtime(stamp)[:6], (1980, 1, 1, 0, 0, 0))
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as archive:
    for name in sorted(os.listdir(folder)):
        info = zipfile.ZipInfo(f"{bundle}/{name}", date_time)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(folder, name), "rb") as source:
            archive.writestr(info, source.read())
PY

mkdir -p "$(dirname "$final_release")"
mv "$release" "$final_release"
mv "$zip_file" "$final_zip"
echo
echo "release: $final_release"
(cd "$final_release" && ls -l --time-style=+ . | tail -n +2 && cat SHA256SUMS)
echo "release: $final_zip ($(stat -c %s "$final_zip") bytes)"
