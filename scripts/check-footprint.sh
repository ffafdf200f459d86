#!/usr/bin/env bash
# Checks what ships: stackboot.exe is a small PE32 GUI program whose image is hardened (real
# relocations for ASLR, NX, NO_SEH with no SEH handler in its code), that restricts its DLL
# search before anything else runs, imports only DLLs Windows keeps as known DLLs (so no DLL
# beside it can be planted in their place) and asks for elevation in its manifest.
set -euo pipefail
exe=${1:?usage: check-footprint.sh path/to/stackboot.exe}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# An SEH handler is registered by writing the thread's exception list at %fs:0; the flag
# NO_SEH is only true if no code of the image does.
disassembly=$(i686-w64-mingw32-objdump -d "$exe")
seh_access='%fs:0x0([^0-9a-fx]|$)'
[ -n "$disassembly" ] || { echo "footprint: no disassembly of $exe" >&2; exit 1; }
if grep -qE "$seh_access" <<<"$disassembly"; then
  echo "footprint: $exe touches the SEH chain at %fs:0" >&2
  grep -nE "$seh_access" <<<"$disassembly" | head >&2
  exit 1
fi

/usr/bin/python3 "$here/check_stackboot_image.py" "$exe"
