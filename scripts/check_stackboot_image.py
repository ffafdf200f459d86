#!/usr/bin/python3
"""Fails unless stackboot.exe has the image properties it ships with (see check-footprint.sh)."""
import os
import sys

import pe_facts

MAX_BYTES = 65536
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
              "shlwapi.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "setupapi.dll",
              "psapi.dll", "comdlg32.dll"}


def problems(facts):
    flags = facts["dll_characteristics"]
    manifest = facts["manifest"] or ""
    checks = [
        (facts["size"] <= MAX_BYTES, f"{facts['size']} bytes, more than {MAX_BYTES}"),
        (not facts["pe32plus"] and facts["machine"] == 0x14C, "not a PE32 i386 image"),
        (facts["subsystem"] == 2, "not a Windows GUI program"),
        (flags & 0x40, "ASLR (dynamic base) is not set"),
        (flags & 0x100, "DEP (NX compatible) is not set"),
        (flags & 0x400, "NO_SEH is not set"),
        (not facts["relocations_stripped"] and facts["base_relocation_size"] > 0,
         "no base relocations: ASLR could not move the image"),
        (facts["tls_callbacks"], "no TLS callback restricts the DLL search before start-up"),
        ('level="requireAdministrator"' in manifest, "the manifest does not request elevation"),
        ('uiAccess="false"' in manifest, "the manifest does not say uiAccess false"),
        (">true</dpiAware>" in manifest, "the manifest does not declare DPI awareness"),
        ("supportedOS" not in manifest, "the manifest names supported systems"),
    ]
    checks += [(dll.lower() in KNOWN_DLLS, f"imports {dll}, which is not a known system DLL")
               for dll in facts["imports"]]
    return [text for ok, text in checks if not ok]


def main(path):
    facts = pe_facts.facts(path)
    name = os.path.basename(path)
    found = problems(facts)
    for problem in found:
        print(f"footprint: {name}: {problem}", file=sys.stderr)
    if found:
        return 1
    print(f"footprint: {name} {facts['size']} bytes, DllCharacteristics "
          f"0x{facts['dll_characteristics']:04x}, {facts['base_relocation_size']} bytes of "
          f"relocations, {len(facts['tls_callbacks'])} TLS callbacks, imports: "
          f"{' '.join(facts['imports'])}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
