#!/usr/bin/env bash
# Every test tier, from a fresh machine: installs what is missing, builds all presets, runs the
# native unit tests (plain and with ASan/UBSan), the footprint and static checks, and the
# Windows tests of the real binaries under Wine.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

step() { printf '\n=== %s\n' "$*"; }

step "installing build and test dependencies"
scripts/install-deps.sh
step "building"
scripts/build.sh
step "native unit tests"
ctest --preset native
step "native unit tests with AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset native-sanitize
step "fuzzing the parameter builders"
scripts/run-fuzzers.sh
step "footprint of the shipping binaries"
scripts/check-footprint.sh build/win-i686/bootstrapper/stackboot.exe
scripts/check-radiogate.sh build/win-x64/radioctl/win32/radiogate.dll
step "formatting, clang-tidy, cppcheck"
scripts/check-code.sh
step "release: built from scratch, checked, signed and verified, rebuilt and compared"
scripts/release.sh
scripts/check-reproducible.sh
step "Windows tests under Wine"
scripts/run-windows-tests.sh -q
step "all tests passed"
