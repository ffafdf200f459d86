#!/usr/bin/env bash
# Checks what ships of the radio library: radiogate.dll is a small, hardened PE32+ DLL that
# imports only DLLs Windows keeps as known DLLs (a host process loads it, so nothing beside the
# host may be planted in their place), exports exactly its two entry points under its own module
# name, and carries its version resource.
set -euo pipefail
dll=${1:?usage: check-radiogate.sh path/to/radiogate.dll}
max_bytes=49152
known_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll setupapi.dll ole32.dll \
oleaut32.dll shell32.dll shlwapi.dll"

fail() { echo "check-radiogate: $*" >&2; exit 1; }

[ -f "$dll" ] || fail "$dll does not exist"
size=$(stat -c %s "$dll")
[ "$size" -le "$max_bytes" ] || fail "$dll is $size bytes, more than $max_bytes"

headers=$(x86_64-w64-mingw32-objdump -p "$dll")
grep -qE '^Magic\s+020b\s+\(PE32\+\)' <<<"$headers" || fail "not a PE32+ image"
characteristics=$(awk '/^Characteristics/ {print $2; exit}' <<<"$headers")
(( characteristics & 0x2000 )) || fail "not a DLL"
dll_characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")
(( 0x$dll_characteristics & 0x20 )) || fail "high-entropy VA is not set"
(( 0x$dll_characteristics & 0x40 )) || fail "ASLR (dynamic base) is not set"
(( 0x$dll_characteristics & 0x100 )) || fail "DEP (NX compatible) is not set"
relocations=$(awk '/Base Relocation Directory/ {print $3}' <<<"$headers")
[ -n "$relocations" ] && (( 0x$relocations > 0 )) || fail "no base relocations"

imports=()
while read -r name; do
  lower=${name,,}
  [[ " $known_dlls " == *" $lower "* ]] || fail "imports $name, which is not a known system DLL"
  imports+=("$lower")
done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")

module=$(awk '/^Name[ \t]/ {print $3; exit}' <<<"$headers")
[ "$module" = "radiogate.dll" ] || fail "module name is '$module', not radiogate.dll"
ordinal_base=$(awk '/^Ordinal Base/ {print $3}' <<<"$headers")
[ "$ordinal_base" = "1" ] || fail "the ordinal base is $ordinal_base, not 1"
# Each named export with its ordinal (index into the address table plus the base).
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
  sed -nE 's/^\s+\[\s*([0-9]+)\]\s+(\S+)$/\2 @\1/p' |
  awk '{sub("@", "", $2); printf "%s%s @%d", sep, $1, $2 + 1; sep = ", "}')
[ "$exports" = "BluetoothEnableRadio @1, IsBluetoothRadioEnabled @2" ] ||
  fail "exports are '$exports'"
address_entries=$(sed -n '/^Export Address Table -- Ordinal Base/,/^\[Ordinal/p' <<<"$headers" |
  grep -cE '^\s+\[\s*[0-9]+\] \+base')
[ "$address_entries" = "2" ] || fail "the export address table holds $address_entries entries"

/usr/bin/python3 - "$dll" <<'PY' || fail "version resource"
import struct
import sys

data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
optional = pe + 24
rsrc_rva = struct.unpack_from("<I", data, optional + 112 + 2 * 8)[0]
sections = []
for i in range(sections_count):
    vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
    sections.append((va, max(vsize, rawsize), rawptr))

def offset(rva):
    for va, size, rawptr in sections:
        if va <= rva < va + size:
            return rawptr + rva - va
    raise SystemExit("address outside every section")

root = offset(rsrc_rva)

def entries(directory):
    named, ids = struct.unpack_from("<HH", data, directory + 12)
    for i in range(named + ids):
        yield struct.unpack_from("<II", data, directory + 16 + 8 * i)

def first_leaf(entry_offset):
    while entry_offset & 0x80000000:
        _, entry_offset = next(entries(root + (entry_offset & 0x7FFFFFFF)))
    rva, size = struct.unpack_from("<II", data, root + entry_offset)
    return data[offset(rva):offset(rva) + size]

version = None
for ident, target in entries(root):
    if ident == 16:  # RT_VERSION
        version = first_leaf(target)
if version is None:
    raise SystemExit("no version resource")

def align(position):
    return (position + 3) & ~3

def read_text(block, position):
    end = position
    while block[end:end + 2] != b"\0\0":
        end += 2
    return block[position:end].decode("utf-16-le"), end + 2

def walk(block, start, end, strings):
    # Every version-resource node: length, value length, type, key, padding, value, children.
    while start < end:
        length, value_length, kind = struct.unpack_from("<HHH", block, start)
        if length == 0:
            break
        key, after_key = read_text(block, start + 6)
        value_start = align(after_key)
        if kind == 1 and value_length:
            strings[key] = read_text(block, value_start)[0]
            children = align(value_start + value_length * 2)
        else:
            children = align(value_start + value_length)
        walk(block, children, start + length, strings)
        start = align(start + length)

strings = {}
walk(version, 0, len(version), strings)
expected = {
    "FileVersion": "2.0.0.0",
    "FileDescription": "Vantrel Bluetooth Radio Control DLL",
    "CompanyName": "Vantrel",
}
for key, value in expected.items():
    if strings.get(key) != value:
        raise SystemExit(f"{key} is {strings.get(key)!r}, not {value!r}")
PY

echo "check-radiogate: $(basename "$dll") $size bytes, imports: ${imports[*]}; exports: $exports"
