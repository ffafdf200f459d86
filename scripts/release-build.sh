#!/usr/bin/env bash
# Builds the two shipping binaries from scratch in <dir>/win-i686 (stackboot.exe) and
# <dir>/win-x64 (radiogate.dll), unsigned, and checks them: the footprint and PE checks, and no
# path of the source or build tree anywhere in them (so another checkout or build folder gives
# the same bytes).
set -euo pipefail
out=${1:?usage: release-build.sh <build dir>}
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"
mkdir -p "$out"
out=$(cd "$out" && pwd)

build() {
  local preset=$1 target=$2
  rm -rf "${out:?}/$preset"
  cmake --preset "$preset" -B "$out/$preset" >/dev/null
  cmake --build "$out/$preset" --target "$target"
}
build win-i686 stackboot
build win-x64 radiogate

stackboot="$out/win-i686/bootstrapper/stackboot.exe"
radiogate="$out/win-x64/radioctl/win32/radiogate.dll"
scripts/check-footprint.sh "$stackboot"
scripts/check-radiogate.sh "$radiogate"

for binary in "$stackboot" "$radiogate"; do
  for tree in "$repo_root" "$out"; do
    if { strings -a "$binary"; strings -a -e l "$binary"; } | grep -qF "$tree"; then
      echo "release-build: $binary holds the path $tree" >&2
      exit 1
    fi
  done
done
