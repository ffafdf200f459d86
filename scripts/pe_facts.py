#!/usr/bin/python3
"""Reads the facts of a PE image that the footprint checks and the release tests assert, and
prints them as JSON.

    pe_facts.py <image>

Only the standard library: headers, DLL characteristics, the base-relocation and TLS
directories (with the TLS callbacks), imported DLLs, exports, resources, the embedded manifest
and the version resource's texts.
"""
import json
import struct
import sys


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        # Where the DLL characteristics stand in the file, the same in PE32 and PE32+.
        self.dll_characteristics_offset = optional + 70
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.pe32plus = self.magic == 0x20B
        if self.pe32plus:
            self.image_base = struct.unpack_from("<Q", data, optional + 24)[0]
            self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
            directories = optional + 112
        else:
            self.image_base = struct.unpack_from("<I", data, optional + 28)[0]
            self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
            directories = optional + 96
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for _, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    return None
                return rawptr + rva - va
        return None

    def section_file_offset(self, name):
        """Where a section's raw data begins in the file."""
        for section_name, _, _, rawptr, _ in self.sections:
            if section_name == name:
                return rawptr
        raise ValueError(f"no section {name}")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def cstring(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("latin-1")

    def pointer(self, offset):
        return struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, offset)[0]

    def imports(self):
        rva, size = self.directory(1)
        names = []
        if not rva:
            return names
        at = self.offset(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, at)
            if not any(descriptor):
                return names
            names.append(self.cstring(descriptor[3]))
            at += 20

    def exports(self):
        rva, size = self.directory(0)
        if not rva:
            return None
        at = self.offset(rva)
        (_, _, _, _, name, base, functions, names, address_table, name_table,
         ordinal_table) = struct.unpack_from("<IIHHIIIIIII", self.data, at)
        entries = []
        for i in range(names):
            name_rva = struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinal_table) + 2 * i)[0]
            entries.append({"name": self.cstring(name_rva), "ordinal": base + index})
        return {"module": self.cstring(name), "base": base, "functions": functions,
                "named": entries}

    def tls_callbacks(self):
        rva, size = self.directory(9)
        if not rva:
            return None
        at = self.offset(rva)
        field = 8 if self.pe32plus else 4
        callbacks_va = self.pointer(at + 3 * field)
        callbacks = []
        if callbacks_va:
            slot = self.offset(callbacks_va - self.image_base)
            while True:
                va = self.pointer(slot)
                if va == 0:
                    break
                callbacks.append(va)
                slot += field
        return callbacks

    def resources(self):
        """{(type, id): bytes} of every resource, the first language of each."""
        rva, size = self.directory(2)
        if not rva:
            return {}
        root = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, directory + 16 + 8 * i)

        found = {}
        for kind, types in entries(root):
            for ident, languages in entries(root + (types & 0x7FFFFFFF)):
                _, leaf = next(entries(root + (languages & 0x7FFFFFFF)))
                data_rva, data_size = struct.unpack_from("<II", self.data, root + leaf)
                start = self.offset(data_rva)
                found[(kind, ident)] = self.data[start:start + data_size]
        return found

    def manifest(self):
        for (kind, _), data in sorted(self.resources().items()):
            if kind == RT_MANIFEST:
                return data.decode("utf-8")
        return None

    def version_strings(self):
        """The texts of the version resource's string tables, by key (later tables win)."""
        block = next((data for (kind, _), data in sorted(self.resources().items())
                      if kind == RT_VERSION), None)
        if block is None:
            return None
        strings = {}
        _walk_version_nodes(block, 0, len(block), strings)
        return strings


RT_VERSION = 16
RT_MANIFEST = 24


def _align(position):
    return (position + 3) & ~3


def _read_text(block, position):
    end = position
    while block[end:end + 2] != b"\0\0":
        end += 2
    return block[position:end].decode("utf-16-le"), end + 2


def _walk_version_nodes(block, start, end, strings):
    # Every node: length, value length, type, key, padding, value, children.
    while start < end:
        length, value_length, kind = struct.unpack_from("<HHH", block, start)
        if length == 0:
            break
        key, after_key = _read_text(block, start + 6)
        value_start = _align(after_key)
        if kind == 1 and value_length:
            strings[key] = _read_text(block, value_start)[0]
            children = _align(value_start + value_length * 2)
        else:
            children = _align(value_start + value_length)
        _walk_version_nodes(block, children, start + length, strings)
        start = _align(start + length)


def facts(path):
    with open(path, "rb") as f:
        image = Image(f.read())
    return {
        "size": len(image.data),
        "machine": image.machine,
        "pe32plus": image.pe32plus,
        "is_dll": bool(image.characteristics & 0x2000),
        "relocations_stripped": bool(image.characteristics & 0x1),
        "subsystem": image.subsystem,
        "dll_characteristics": image.dll_characteristics,
        "base_relocation_size": image.directory(5)[1],
        "load_config_size": image.directory(10)[1],
        "tls_callbacks": image.tls_callbacks(),
        "imports": image.imports(),
        "exports": image.exports(),
        "manifest": image.manifest(),
        "version_strings": image.version_strings(),
    }


if __name__ == "__main__":
    json.dump(facts(sys.argv[1]), sys.stdout, indent=1)
    print()
