#!/usr/bin/env bash
# Prints the product version, kept in one place: project(VERSION) of the root CMakeLists.txt.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(sed -nE 's/^project\([^)]* VERSION ([0-9]+(\.[0-9]+){0,3})[ )].*/\1/p' \
  "$repo_root/CMakeLists.txt")
[ -n "$version" ] || { echo "project-version: no project(VERSION) in CMakeLists.txt" >&2; exit 1; }
echo "$version"
