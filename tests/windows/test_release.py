"""The release folder that scripts/release.sh assembles: version resources as Windows reads them,
Authenticode signatures that hold and fail on any change, the signed binaries still running under
Wine, and the folder's checksums and zip."""
import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import zipfile

import pytest

from conftest import REPO, Package
from radio_devices import EXPORTS_LISTING, Host, radio_tools, tool_path  # noqa: F401

# The PE reader of the footprint checks.
sys.path.insert(0, str(REPO / "scripts"))
import pe_facts  # noqa: E402

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VERIFY = REPO / "scripts" / "verify-signature.sh"
SHIPPED = ["DEPLOYMENT.txt", "SHA256SUMS", "answers-template.ini", "radiogate.dll",
           "stackboot.exe"]


def project_version():
    text = (REPO / "CMakeLists.txt").read_text()
    match = re.search(r"^project\([^)]*\bVERSION (\d+(?:\.\d+){0,3})\b", text, re.MULTILINE)
    assert match, "no project(VERSION) in CMakeLists.txt"
    return match.group(1)


def four_parts(version):
    parts = version.split(".")
    return ".".join(parts + ["0"] * (4 - len(parts)))


@pytest.fixture(scope="module")
def release():
    folder = REPO / "build" / "release" / project_version()
    if not (folder / "stackboot.exe").is_file():
        pytest.fail(f"no release in {folder}: run scripts/release.sh")
    return folder


def verify(path, env=None):
    merged = dict(os.environ)
    merged.update(env or {})
    return subprocess.run([str(VERIFY), str(path)], capture_output=True, text=True, env=merged,
                          timeout=120)


def version_info(wine, win_x64, path):
    """The version resource as Windows' own VerQueryValueW reads it."""
    tool = tool_path(win_x64 / "tools" / "version_info.exe")
    result = wine.run([tool, wine.to_windows(path)])
    assert result.returncode == 0, result.stderr[-2000:]
    return result.stdout.decode("utf-8").split("\n")[:-1]


def test_stackboot_version_resource_read_through_windows(wine, win_x64, release):
    version = four_parts(project_version())
    assert version_info(wine, win_x64, release / "stackboot.exe") == [
        f"FILEVERSION {version}",
        f"PRODUCTVERSION {version}",
        "040904b0 CompanyName=Vantrel",
        "040904b0 FileDescription=Vantrel UART Bluetooth stack setup",
        f"040904b0 FileVersion={version}",
        "040904b0 InternalName=stackboot",
        "040904b0 LegalCopyright=Copyright (C) 2026 Vantrel",
        "040904b0 OriginalFilename=stackboot.exe",
        "040904b0 ProductName=Vantrel UART Bluetooth support software",
        f"040904b0 ProductVersion={version}",
    ]


def test_radiogate_keeps_its_fixed_version(wine, win_x64, release):
    lines = version_info(wine, win_x64, release / "radiogate.dll")
    assert lines[0] == "FILEVERSION 2.0.0.0"
    for expected in ("040904b0 FileVersion=2.0.0.0",
                     "040904b0 FileDescription=Vantrel Bluetooth Radio Control DLL",
                     "040904b0 CompanyName=Vantrel", "040904b0 ProductVersion=2.0.0.0"):
        assert expected in lines, lines


def test_stackboot_keeps_its_manifest_and_icon(release):
    resources = pe_facts.Image((release / "stackboot.exe").read_bytes()).resources()
    manifest = (REPO / "bootstrapper" / "win32" / "stackboot.manifest").read_bytes()
    assert resources[(RT_MANIFEST, 1)] == manifest
    assert (RT_GROUP_ICON, 1) in resources
    icon = (REPO / "bootstrapper" / "win32" / "stackboot.ico").read_bytes()
    images = [data for (kind, _), data in resources.items() if kind == RT_ICON]
    # Each icon image of the file is one RT_ICON resource, byte for byte.
    count = struct.unpack_from("<H", icon, 4)[0]
    for i in range(count):
        size, offset = struct.unpack_from("<II", icon, 6 + 16 * i + 8)
        assert icon[offset:offset + size] in images, f"icon image {i}"
    assert len(images) == count
    assert sorted(kind for kind, _ in resources) == sorted(
        [RT_MANIFEST, RT_GROUP_ICON, RT_VERSION] + [RT_ICON] * count)


@pytest.mark.parametrize("name", ["stackboot.exe", "radiogate.dll"])
def test_signature_verifies(release, name):
    result = verify(release / name)
    assert result.returncode == 0, result.stdout + result.stderr


def flip_code_byte(path):
    return pe_facts.Image(path.read_bytes()).section_file_offset(".text") + 0x40, 0x01


def flip_version_text(path):
    data = path.read_bytes()
    text = "OriginalFilename".encode("utf-16-le")
    assert data.count(text) == 1
    return data.index(text), 0x20  # the name's first letter turned lower-case


def clear_nx_flag(path):
    return pe_facts.Image(path.read_bytes()).dll_characteristics_offset + 1, 0x01  # 0x0100 NX


@pytest.mark.parametrize("name, change", [
    ("stackboot.exe", flip_code_byte),
    ("stackboot.exe", flip_version_text),
    ("stackboot.exe", clear_nx_flag),
    ("radiogate.dll", flip_code_byte),
], ids=["stackboot-code", "stackboot-version-text", "stackboot-header-flag", "radiogate-code"])
def test_changed_file_fails_verification(release, tmp_path, name, change):
    copy = tmp_path / name
    shutil.copy(release / name, copy)
    assert verify(copy).returncode == 0
    offset, mask = change(copy)
    data = bytearray(copy.read_bytes())
    data[offset] ^= mask
    copy.write_bytes(bytes(data))

    result = verify(copy)

    assert result.returncode != 0, result.stdout
    assert "verification failed" in result.stderr


def test_signature_from_another_root_fails_verification(release, tmp_path):
    other_root = tmp_path / "other-root.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/O=Vantrel/CN=Vantrel Test Code Signing Root",
                    "-keyout", str(tmp_path / "other-root.key"), "-out", str(other_root)],
                   check=True, capture_output=True, timeout=120)

    result = verify(release / "stackboot.exe", env={"VANTREL_SIGN_CAFILE": str(other_root)})

    assert result.returncode != 0, result.stdout


def test_signed_stackboot_runs_with_the_answer_file_template(wine, win_x64, release, tmp_path):
    launcher = tool_path(win_x64 / "tools" / "setup_launcher.exe")
    package = Package(wine, tmp_path / "package", release / "stackboot.exe", launcher)
    shutil.copy(release / "answers-template.ini", package.folder)
    answers = f"{package.windows_folder}\\answers-template.ini"

    # 3010 is Windows Installer's "restart required", which the launcher passes on.
    code, result = wine.run_for_exit_code(
        f'"{wine.to_windows(package.program)}" {answers}', tmp_path,
        env=package.launcher_env(3010))

    assert code == 3010, result.stderr[-2000:]
    # The template as shipped changes nothing: the defaults of an answer file without keys.
    assert package.launcher_command_lines() == [
        f'{package.windows_folder}\\win864.exe /v""  /l1033']


def test_signed_radiogate_loads_and_exports_its_two_functions(
        wine, radio_tools, release, tmp_path):  # noqa: F811
    host = Host(wine, tmp_path / "host", radio_tools["radio"], release / "radiogate.dll",
                radio_tools["capture"])

    run = host.run_plain("exports")

    assert run.code == 0, run
    assert run.output == EXPORTS_LISTING, run


def test_folder_checksums_and_zip(release):
    assert sorted(p.name for p in release.iterdir()) == SHIPPED
    sums = {}
    for line in (release / "SHA256SUMS").read_text().splitlines():
        digest, name = line.split("  ", 1)
        sums[name] = digest
    assert sums == {name: hashlib.sha256((release / name).read_bytes()).hexdigest()
                    for name in SHIPPED if name != "SHA256SUMS"}

    notes = (release / "DEPLOYMENT.txt").read_bytes()
    assert not re.search(rb"@[A-Z]+@", notes)
    for text in (release / "DEPLOYMENT.txt", release / "answers-template.ini"):
        assert text.read_bytes().count(b"\n") == text.read_bytes().count(b"\r\n"), text.name

    bundle = f"vantrel-uart-bluetooth-{project_version()}"
    with zipfile.ZipFile(release.parent / f"{bundle}.zip") as archive:
        entries = archive.infolist()
        assert [entry.filename for entry in entries] == [f"{bundle}/{name}" for name in SHIPPED]
        for entry in entries:
            assert archive.read(entry) == (release / pathlib.PurePath(entry.filename).name) \
                .read_bytes(), entry.filename
        assert len({entry.date_time for entry in entries}) == 1
