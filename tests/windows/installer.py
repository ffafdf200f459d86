"""The test stack packages (tools/packages) and Windows Installer under Wine.

Every package carries the same product code, so whichever version is installed is registered
under one key, HKEY_CLASSES_ROOT\\Installer\\Products\\<packed product code>; most packages also
write ProductVersion there. msiexec's exit codes are read in full through a batch file (wine64
hands back only their low 8 bits).
"""
import re
import subprocess
import uuid

from test_tools import run_batch

PRODUCT_CODE = "{E4B09F73-2C1D-4A85-B6E2-71F38D05C9A4}"
PACKED_PRODUCT_CODE = "37F90B4ED1C258A46B2E173FD8509C4A"
PRODUCT_KEY = "HKEY_CLASSES_ROOT\\Installer\\Products\\" + PACKED_PRODUCT_CODE

ERROR_SUCCESS = 0
ERROR_UNKNOWN_PRODUCT = 1605
ERROR_PRODUCT_VERSION = 1638  # another version of this product is already installed


def packed_guid(guid):
    """The form Windows Installer names its registry keys by: the hex digits of the GUID with the
    first three groups reversed and every byte of the last two groups nibble-swapped."""
    digits = uuid.UUID(guid).hex.upper()
    groups = [digits[0:8], digits[8:12], digits[12:16]]
    rest = digits[16:]
    return ("".join(group[::-1] for group in groups)
            + "".join(rest[i + 1] + rest[i] for i in range(0, len(rest), 2)))


def package_path(win_x64, name):
    return win_x64 / "tools" / "packages" / f"{name}.msi"


def msi_table(path, table):
    """Rows of one table of a package, as dicts, read with msiinfo (no Wine needed)."""
    text = subprocess.run(["msiinfo", "export", str(path), table], check=True,
                          capture_output=True, text=True).stdout
    lines = text.split("\r\n") if "\r\n" in text else text.split("\n")
    columns = lines[0].split("\t")
    # Lines 2 and 3 give the column types and the table's key; the rows follow.
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def msi_package_code(path):
    """The package code (summary information revision number) of a package."""
    text = subprocess.run(["msiinfo", "suminfo", str(path)], check=True, capture_output=True,
                          text=True).stdout
    match = re.search(r"^Revision number \(UUID\): (\{[0-9A-F-]+\})$", text, re.MULTILINE)
    assert match, text
    return match.group(1)


def install(wine, scratch, msi, *properties):
    """msiexec /i <msi> /qn <properties>; returns msiexec's exit code."""
    line = " ".join(['msiexec /i', f'"{wine.to_windows(msi)}"', "/qn", *properties])
    return run_batch(wine, scratch, line)[1]


def remove(wine, scratch, product_code=PRODUCT_CODE):
    """msiexec /x <product code> /quiet /norestart; returns msiexec's exit code."""
    return run_batch(wine, scratch, f"msiexec /x {product_code} /quiet /norestart")[1]


VALUE_LINE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)    (.*)$")


def registry_values(wine, key, *view):
    """The values of a key as {name: (type, text as reg.exe prints it)}, or None if the key does
    not exist. `view` may be "/reg:32" or "/reg:64"."""
    result = wine.run(["reg", "query", key, *view])
    if result.returncode != 0:
        assert b"Unable to find" in result.stdout + result.stderr, result
        return None
    values = {}
    # reg.exe prints the key's own values first, up to the first blank line.
    for line in result.stdout.decode("utf-8", "replace").split("\r\n\r\n")[0].splitlines():
        match = VALUE_LINE.match(line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values
