#!/usr/bin/env bash
# Configures and builds the given presets (default: all of them).
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-sanitize fuzz win-i686 win-x64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
