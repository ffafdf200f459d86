#!/usr/bin/env bash
# Sourced by the scripts that run Windows programs. Makes i386 ELF binaries runnable through
# qemu user emulation (the 32-bit half of Wine needs it on this kernel), exports the Wine
# variables and creates, once, a 64-bit Wine prefix that reports Windows 8.
#   WINEPREFIX  defaults to <repo>/build/wineprefix
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

ensure_i386_binfmt() {
  local misc=/proc/sys/fs/binfmt_misc
  if [ ! -e "$misc/register" ]; then
    as_root mount -t binfmt_misc binfmt_misc "$misc"
  fi
  if ! grep -qs 'magic 7f454c460101010000000000000000000200' "$misc"/* 2>/dev/null; then
    # Flag F opens the interpreter now, so it keeps working inside any mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      | as_root tee "$misc/register" >/dev/null
  fi
}

ensure_i386_binfmt

export WINEARCH=win64
export WINEPREFIX=${WINEPREFIX:-$repo_root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Without a reserved guest address space every 32-bit process start under qemu takes ~50 s.
export QEMU_RESERVED_VA=0x7fff0000
export WINE64=/usr/lib/wine/wine64

if [ ! -f "$WINEPREFIX/.stackboot-prefix-ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE64" wineboot -i >/dev/null 2>&1
  "$WINE64" winecfg -v win8 >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.stackboot-prefix-ready"
fi
