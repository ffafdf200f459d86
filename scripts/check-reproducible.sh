#!/usr/bin/env bash
# Proves that a release can be rebuilt bit for bit: builds the shipping binaries a second time,
# from scratch in another build folder (another path, so that no build path can hide in them), and
# compares them byte for byte with the unsigned binaries of the release that scripts/release.sh
# made, and with the shipped, signed files once their signature is taken off.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"
version=$(scripts/project-version.sh)
work="$repo_root/build/release-work"
release="$repo_root/build/release/$version"
first="$work/build"
second="$work/rebuild-check/second-build"
if [ ! -f "$release/stackboot.exe" ]; then
  echo "check-reproducible: no release in $release: run scripts/release.sh first" >&2
  exit 1
fi

scripts/release-build.sh "$second"

status=0
compare() {
  local name=$1 path=$2
  if cmp "$first/$path" "$second/$path"; then
    echo "check-reproducible: $name: both builds give the same $(stat -c %s "$first/$path") bytes"
  else
    echo "check-reproducible: $name differs between $first and $second" >&2
    status=1
  fi
  osslsigncode remove-signature -in "$release/$name" -out "$work/shipped-unsigned" >/dev/null
  if ! cmp "$work/shipped-unsigned" "$second/$path"; then
    echo "check-reproducible: the shipped $name without its signature differs from the rebuild" >&2
    status=1
  fi
  rm -f "$work/shipped-unsigned"
}
compare stackboot.exe win-i686/bootstrapper/stackboot.exe
compare radiogate.dll win-x64/radioctl/win32/radiogate.dll
exit $status
