#!/usr/bin/python3
"""Fails unless radiogate.dll has the image properties it ships with (see check-radiogate.sh)."""
import os
import sys

import pe_facts

MAX_BYTES = 49152
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll",
              "setupapi.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll"}
EXPORTS = [{"name": "BluetoothEnableRadio", "ordinal": 1},
           {"name": "IsBluetoothRadioEnabled", "ordinal": 2}]
VERSION_STRINGS = {"FileVersion": "2.0.0.0",
                   "FileDescription": "Vantrel Bluetooth Radio Control DLL",
                   "CompanyName": "Vantrel"}


def problems(facts):
    flags = facts["dll_characteristics"]
    exports = facts["exports"] or {}
    strings = facts["version_strings"] or {}
    checks = [
        (facts["size"] <= MAX_BYTES, f"{facts['size']} bytes, more than {MAX_BYTES}"),
        (facts["pe32plus"], "not a PE32+ image"),
        (facts["is_dll"], "not a DLL"),
        (flags & 0x20, "high-entropy VA is not set"),
        (flags & 0x40, "ASLR (dynamic base) is not set"),
        (flags & 0x100, "DEP (NX compatible) is not set"),
        (facts["base_relocation_size"] > 0, "no base relocations"),
        (exports.get("module") == "radiogate.dll",
         f"module name is {exports.get('module')!r}, not radiogate.dll"),
        (exports.get("base") == 1, f"the ordinal base is {exports.get('base')}, not 1"),
        (exports.get("named") == EXPORTS, f"exports are {exports.get('named')}"),
        (exports.get("functions") == 2,
         f"the export address table holds {exports.get('functions')} entries"),
        (facts["version_strings"] is not None, "no version resource"),
    ]
    checks += [(dll.lower() in KNOWN_DLLS, f"imports {dll}, which is not a known system DLL")
               for dll in facts["imports"]]
    checks += [(strings.get(key) == value, f"{key} is {strings.get(key)!r}, not {value!r}")
               for key, value in VERSION_STRINGS.items() if facts["version_strings"] is not None]
    return [text for ok, text in checks if not ok]


def main(path):
    if not os.path.isfile(path):
        print(f"check-radiogate: {path} does not exist", file=sys.stderr)
        return 1
    facts = pe_facts.facts(path)
    found = problems(facts)
    for problem in found:
        print(f"check-radiogate: {problem}", file=sys.stderr)
    if found:
        return 1
    exports = ", ".join(f"{e['name']} @{e['ordinal']}" for e in facts["exports"]["named"])
    print(f"check-radiogate: {os.path.basename(path)} {facts['size']} bytes, imports: "
          f"{' '.join(dll.lower() for dll in facts['imports'])}; exports: {exports}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
