#!/usr/bin/env bash
# Installs, idempotently, everything the build and the tests need on a Debian 12 machine:
# the MinGW-w64 cross compilers, Wine (both halves; the 32-bit one runs through qemu user
# emulation because the kernel cannot run i386 binaries), msitools and the native tools.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev
  clang-format clang-tidy cppcheck
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64 wine32:i386 msitools wixl qemu-user-static osslsigncode openssl
  python3-pytest python3-pytest-rerunfailures xvfb x11-utils xdotool imagemagick
)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_if_needed dpkg --add-architecture i386
  missing=("${packages[@]}")
else
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  sudo_if_needed apt-get update -q
  DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
