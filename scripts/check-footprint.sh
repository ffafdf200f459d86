#!/usr/bin/env bash
# Checks what ships: stackboot.exe is a small PE32 GUI program with ASLR and DEP that imports
# only DLLs Windows keeps as known DLLs (so no DLL beside it can be planted in their place).
set -euo pipefail
exe=${1:?usage: check-footprint.sh path/to/stackboot.exe}
max_bytes=65536
known_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll \
oleaut32.dll msvcrt.dll setupapi.dll psapi.dll comdlg32.dll"

fail() { echo "footprint: $*" >&2; exit 1; }

size=$(stat -c %s "$exe")
[ "$size" -le "$max_bytes" ] || fail "$exe is $size bytes, more than $max_bytes"

headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -qE '^Magic\s+010b\s+\(PE32\)' <<<"$headers" || fail "not a PE32 image"
grep -qE '^Subsystem\s+00000002' <<<"$headers" || fail "not a Windows GUI program"
characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
(( 0x$characteristics & 0x40 )) || fail "ASLR (dynamic base) is not set"
(( 0x$characteristics & 0x100 )) || fail "DEP (NX compatible) is not set"

while read -r dll; do
  lower=${dll,,}
  [[ " $known_dlls " == *" $lower "* ]] || fail "imports $dll, which is not a known system DLL"
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")

grep -q 'requireAdministrator' "$exe" || fail "the manifest does not request administrator rights"
if grep -q 'supportedOS' "$exe"; then fail "the manifest names supported systems"; fi

echo "footprint: $(basename "$exe") $size bytes, imports: $(awk '/DLL Name:/ {printf "%s ", $3}' <<<"$headers")"
