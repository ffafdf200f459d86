#!/usr/bin/env bash
# Checks what ships of the radio library: radiogate.dll is a small, hardened PE32+ DLL (high-
# entropy ASLR with real relocations, NX) that imports only DLLs Windows keeps as known DLLs (a
# host process loads it, so nothing beside the host may be planted in their place), exports
# exactly its two entry points under its own module name, and carries its version resource.
set -euo pipefail
dll=${1:?usage: check-radiogate.sh path/to/radiogate.dll}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exec /usr/bin/python3 "$here/check_radiogate_image.py" "$dll"
