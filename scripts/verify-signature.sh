#!/usr/bin/env bash
# Verifies the Authenticode signature of each file given: one SHA-256 signature over exactly the
# file's bytes, whose certificate chains to the trusted root. Any verification problem fails.
# The root: VANTREL_SIGN_CAFILE when set; the system's CA bundle when the release is signed with
# a company certificate (VANTREL_SIGN_PFX); otherwise the test root that release.sh made.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: verify-signature.sh <file>..." >&2; exit 2; }
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -n "${VANTREL_SIGN_CAFILE:-}" ]; then
  ca_file=$VANTREL_SIGN_CAFILE
elif [ -n "${VANTREL_SIGN_PFX:-}" ]; then
  ca_file=/etc/ssl/certs/ca-certificates.crt
else
  ca_file="$repo_root/build/release-signing/test-root.pem"
fi
[ -f "$ca_file" ] || { echo "verify-signature: no trusted root $ca_file" >&2; exit 1; }

status=0
for file in "$@"; do
  if ! report=$(osslsigncode verify -CAfile "$ca_file" -in "$file" 2>&1); then
    echo "verify-signature: $file: verification failed" >&2
    grep -E 'MISMATCH|[Ff]ail|[Ee]rror' <<<"$report" >&2 || true
    status=1
    continue
  fi
  file_status=0
  # osslsigncode's exit status is the verdict; these lines make sure it judged what we meant.
  for expected in 'Signature verification: ok' 'Number of verified signatures: 1' \
    'Message digest algorithm  : SHA256'; do
    if ! grep -qxF "$expected" <<<"$report"; then
      echo "verify-signature: $file: no '$expected' in the verification" >&2
      file_status=1
    fi
  done
  if grep -qE 'MISMATCH|[Ff]ailed' <<<"$report"; then
    echo "verify-signature: $file: the verification reports a failure" >&2
    file_status=1
  fi
  if [ $file_status -eq 0 ]; then
    echo "verify-signature: $(basename "$file"): signature ok"
  else
    status=1
  fi
done
exit $status
