"""Test stack packages, the setup launcher's demo mode and version resources, and message boxes.

The packages (tools/packages) stand in for the Bluetooth stack's installer: one product code,
several versions. Installing one registers the product under
HKEY_CLASSES_ROOT\\Installer\\Products\\<packed product code>, where most of them also put
ProductVersion. Tests that install remove the product before and after.
"""
import struct
import subprocess

import pytest

import installer
import message_box
from installer import PACKED_PRODUCT_CODE, PRODUCT_CODE, PRODUCT_KEY
from test_tools import LOCALE, quoted, run_batch, version_resource

# (package name, product version, whether ProductVersion is written into the product key)
PACKAGES = [
    ("stack_2_2_0_35", "2.2.0.35", True),
    ("stack_2_2_0_30", "2.2.0.30", True),
    ("stack_2_3_0_0", "2.3.0.0", True),
    ("stack_1_10_0_0", "1.10.0.0", True),
    ("stack_1_9_0_0", "1.9.0.0", True),
    ("stack_2_2_0_35_without_version_value", "2.2.0.35", False),
    ("demo_stack_2_2_0_35", "2.2.0.35", True),
    ("demo_stack_2_1_0_0", "2.1.0.0", True),
]
PACKAGE_IDS = [name for name, _, _ in PACKAGES]
ERROR_INVALID_PARAMETER = 87
ERROR_INSTALL_FAILURE_UNDER_WINE = 1627  # what Wine's msiexec answers for a file that is no package
IDOK = 1


@pytest.fixture(scope="module")
def tools(win_x64):
    directory = win_x64 / "tools"
    names = ["setup_launcher", "message_box_probe", "window_text"]
    missing = [name for name in names if not (directory / f"{name}.exe").is_file()]
    missing += [name for name in PACKAGE_IDS
                if not installer.package_path(win_x64, name).is_file()]
    if missing:
        pytest.fail(f"missing {missing}: build the win-x64 preset first")
    return directory


@pytest.fixture
def clean_product(wine, tools, tmp_path):
    """No version of the stack installed before or after the test."""
    scratch = tmp_path / "msiexec"
    scratch.mkdir()
    assert installer.remove(wine, scratch) in (installer.ERROR_SUCCESS,
                                               installer.ERROR_UNKNOWN_PRODUCT)
    yield scratch
    assert installer.remove(wine, scratch) in (installer.ERROR_SUCCESS,
                                               installer.ERROR_UNKNOWN_PRODUCT)


def product_version(wine):
    """ProductVersion in the product key: the value, None without it, False without the key."""
    values = installer.registry_values(wine, PRODUCT_KEY)
    if values is None:
        return False
    kind, text = values.get("ProductVersion", (None, None))
    assert kind in (None, "REG_SZ"), values
    return text


# --- the packages themselves -------------------------------------------------------------------

def test_the_key_name_is_the_packed_product_code():
    assert installer.packed_guid(PRODUCT_CODE) == PACKED_PRODUCT_CODE
    # A check of the packing itself, on a code whose groups are easy to follow.
    assert (installer.packed_guid("{01234567-89AB-CDEF-0123-456789ABCDEF}")
            == "76543210BA98FEDC1032547698BADCFE")


@pytest.mark.parametrize("name, version, writes_version", PACKAGES, ids=PACKAGE_IDS)
def test_package_tables(tools, win_x64, name, version, writes_version):
    path = installer.package_path(win_x64, name)
    properties = {row["Property"]: row["Value"] for row in installer.msi_table(path, "Property")}
    assert properties["ProductCode"] == PRODUCT_CODE
    assert properties["ProductVersion"] == version
    assert properties["ALLUSERS"] == "1"  # per machine: HKCR is written to HKLM\Software\Classes
    registry = installer.msi_table(path, "Registry")
    expected = [("0", "Installer\\Products\\" + installer.packed_guid(PRODUCT_CODE),
                 "ProductVersion", version)] if writes_version else []
    assert [(r["Root"], r["Key"], r["Name"], r["Value"]) for r in registry] == expected


def test_every_package_has_its_own_package_code(tools, win_x64):
    codes = [installer.msi_package_code(installer.package_path(win_x64, name))
             for name in PACKAGE_IDS]
    assert len(set(codes)) == len(codes), codes


@pytest.mark.parametrize("name, version, writes_version", PACKAGES, ids=PACKAGE_IDS)
def test_install_registers_the_version_and_remove_takes_it_away(
        wine, win_x64, clean_product, name, version, writes_version):
    msi = installer.package_path(win_x64, name)
    assert product_version(wine) is False

    assert installer.install(wine, clean_product, msi) == installer.ERROR_SUCCESS
    values = installer.registry_values(wine, PRODUCT_KEY)
    assert values is not None
    assert product_version(wine) == (version if writes_version else None)
    # The key is Windows Installer's own registration of this very package.
    assert values["PackageCode"] == ("REG_SZ",
                                     installer.packed_guid(installer.msi_package_code(msi)))
    # The per-machine registration is what HKCR shows.
    assert installer.registry_values(
        wine, "HKLM\\Software\\Classes\\Installer\\Products\\" + PACKED_PRODUCT_CODE) == values
    installed_file = wine.drive_c / "Program Files" / "Vantrel Test Stack" / "stack.txt"
    assert installed_file.read_text().split()[-2] == version

    assert installer.remove(wine, clean_product) == installer.ERROR_SUCCESS
    assert product_version(wine) is False
    assert not installed_file.exists()


def test_removing_a_product_that_is_not_installed_fails(wine, clean_product):
    assert installer.remove(wine, clean_product) == installer.ERROR_UNKNOWN_PRODUCT


@pytest.mark.parametrize("properties, expected_code, expected_version", [
    ((), installer.ERROR_PRODUCT_VERSION, "2.2.0.35"),
    (("REINSTALL=ALL", "REINSTALLMODE=vomus"), installer.ERROR_SUCCESS, "2.2.0.30"),
], ids=["plain-install", "reinstall"])
def test_another_version_replaces_the_installed_one_only_as_a_reinstall(
        wine, win_x64, clean_product, properties, expected_code, expected_version):
    first = installer.package_path(win_x64, "stack_2_2_0_35")
    second = installer.package_path(win_x64, "stack_2_2_0_30")
    assert installer.install(wine, clean_product, first) == installer.ERROR_SUCCESS
    assert installer.install(wine, clean_product, second, *properties) == expected_code
    assert product_version(wine) == expected_version


# --- the setup launcher's demo mode ------------------------------------------------------------

MSIEXEC = '"C:\\windows\\system32\\msiexec.exe"'


def demo_folder(tools, folder, package="stack_2_2_0_35"):
    """A launcher named win864.exe with a package beside it as stack.msi."""
    folder.mkdir(parents=True, exist_ok=True)
    launcher = folder / "win864.exe"
    launcher.write_bytes((tools / "setup_launcher.exe").read_bytes())
    source = installer.package_path(tools.parent, package)
    (folder / "stack.msi").write_bytes(source.read_bytes())
    return launcher


def dry_run(wine, tmp_path, launcher, tail, extra_env=None):
    record = tmp_path / "record.txt"
    env = {"VANTREL_LAUNCHER_RECORD": wine.to_windows(record), "VANTREL_LAUNCHER_DRY_RUN": "1",
           **(extra_env or {})}
    line = quoted(launcher, wine) + (" " + tail if tail else "")
    _, code = run_batch(wine, tmp_path, line, env)
    lines = record.read_bytes().decode("utf-8").split("\n") if record.exists() else []
    return code, line, lines


# What a launcher typically gets: a log path and a folder in escaped quotes, two blanks, a language.
FULL_EXAMPLE = ('/s /v"/qn /l* \\"C:\\t\\i.log\\" INSTALLDIR=\\"C:\\Program Files\\X \\" '
                'REBOOT=ReallySuppress "  /l1031')


@pytest.mark.parametrize("tail, silent, language, msiexec_text", [
    (FULL_EXAMPLE, 1, "1031",
     '/qn /l* "C:\\t\\i.log" INSTALLDIR="C:\\Program Files\\X " REBOOT=ReallySuppress '),
    ("/s /v/qn", 1, "", "/qn"),
    ("", 0, "", None),
    ("/s", 1, "", None),
    ('/v"/qn" /v"REBOOT=ReallySuppress"', 0, "", "/qn REBOOT=ReallySuppress"),
    ("/v/qn\t/vINSTALLDIR=C:\\x\\ /l1036", 0, "1036", "/qn INSTALLDIR=C:\\x\\"),
    ('/S /V"/qb" /L1033', 1, "1033", "/qb"),
    ('/v"" /v /v/qn', 0, "", "/qn"),
    ('/v"a\\\\b \\"q\\""', 0, "", 'a\\\\b "q"'),
    ('/v"/qn INSTALLDIR=\\"C:\\a b\\"', 0, "", '/qn INSTALLDIR="C:\\a b"'),  # no closing quote
    ('/v"/qn"x /vy', 0, "", "/qn y"),  # the rest of the token after the closing quote is skipped
    ('/x "a /v/qb" /sv /v/qn /l', 0, "", "/qn"),  # unknown switches, quoted ones as a whole
    ("/l1031 /l2052", 0, "2052", None),  # the last language counts
], ids=["example", "v-unquoted", "empty", "silent-only", "two-quoted", "tab-and-backslash",
        "upper-case", "empty-parts", "backslashes", "unterminated", "after-quote",
        "unknown-skipped", "two-languages"])
def test_demo_mode_turns_the_switches_into_an_msiexec_command_line(
        wine, tools, tmp_path, tail, silent, language, msiexec_text):
    launcher = demo_folder(tools, tmp_path / "pkg")
    code, line, lines = dry_run(wine, tmp_path, launcher, tail,
                                {"VANTREL_LAUNCHER_EXIT_CODE": "7"})
    package = wine.to_windows(tmp_path / "pkg" / "stack.msi")
    expected = f'{MSIEXEC} /i "{package}"' + ("" if msiexec_text is None else " " + msiexec_text)
    assert lines == [line, f"silent={silent} language={language}", expected, ""]
    assert code == 7  # a dry run exits as a launcher without a package


def test_demo_mode_quotes_a_folder_with_blanks(wine, tools, tmp_path):
    launcher = demo_folder(tools, tmp_path / "a folder é")
    _, _, lines = dry_run(wine, tmp_path, launcher, "/v/qn")
    assert lines[2] == (f'{MSIEXEC} /i "{wine.to_windows(tmp_path / "a folder é")}\\stack.msi"'
                        " /qn")


@pytest.mark.parametrize("setting, with_record, expected_code, expected_lines", [
    ("1", True, 0, 3),
    ("yes", True, ERROR_INVALID_PARAMETER, 1),
    ("1", False, ERROR_INVALID_PARAMETER, 0),
], ids=["dry-run", "bad-setting", "no-record"])
def test_dry_run_setting(wine, tools, tmp_path, setting, with_record, expected_code,
                         expected_lines):
    launcher = demo_folder(tools, tmp_path / "pkg")
    record = tmp_path / "record.txt"
    env = {"VANTREL_LAUNCHER_DRY_RUN": setting}
    if with_record:
        env["VANTREL_LAUNCHER_RECORD"] = wine.to_windows(record)
    _, code = run_batch(wine, tmp_path, quoted(launcher, wine) + " /v/qn", env)
    assert code == expected_code
    lines = record.read_bytes().split(b"\n")[:-1] if record.exists() else []
    assert len(lines) == expected_lines


def test_without_a_package_the_dry_run_changes_nothing(wine, tools, tmp_path):
    launcher = tmp_path / "win864.exe"
    launcher.write_bytes((tools / "setup_launcher.exe").read_bytes())
    code, line, lines = dry_run(wine, tmp_path, launcher, "/s /v/qn",
                                {"VANTREL_LAUNCHER_EXIT_CODE": "1605"})
    assert (code, lines) == (1605, [line, ""])


def test_demo_mode_installs_the_package_beside_it(wine, tools, tmp_path, clean_product):
    launcher = demo_folder(tools, tmp_path / "pkg", "stack_2_2_0_35")
    record = tmp_path / "record.txt"
    env = {"VANTREL_LAUNCHER_RECORD": wine.to_windows(record),
           "VANTREL_LAUNCHER_EXIT_CODE": "9"}
    line = quoted(launcher, wine) + ' /s /v"/qn"'

    _, code = run_batch(wine, tmp_path, line, env)

    assert code == 0  # msiexec's, not the chosen 9
    assert record.read_bytes() == line.encode() + b"\n"
    assert product_version(wine) == "2.2.0.35"
    assert installer.remove(wine, clean_product) == installer.ERROR_SUCCESS
    assert product_version(wine) is False


def test_demo_mode_exits_with_the_msiexec_error(wine, tools, tmp_path, clean_product):
    folder = tmp_path / "pkg"
    folder.mkdir()
    launcher = folder / "win864.exe"
    launcher.write_bytes((tools / "setup_launcher.exe").read_bytes())
    (folder / "stack.msi").write_bytes(b"not an installer package\r\n" * 100)
    _, code = run_batch(wine, tmp_path, quoted(launcher, wine) + " /s /v/qn",
                        {"VANTREL_LAUNCHER_EXIT_CODE": "9"})
    assert code == ERROR_INSTALL_FAILURE_UNDER_WINE
    assert product_version(wine) is False


# --- version resources of the launcher variants ------------------------------------------------

def fixed_version(numbers):
    a, b, c, d = numbers
    return (a << 16 | b, c << 16 | d)


@pytest.mark.parametrize("target, numbers, tables", [
    ("setup_launcher", (5, 1, 0, 20), [("0409", "04B0", "5.1.0.20")]),
    ("setup_launcher_2_2_0_35", (2, 2, 0, 35), [("0409", "04B0", "2.2.0.35")]),
    ("setup_launcher_2_3_0_0", (2, 3, 0, 0), [("0409", "04B0", "2.3.0.0")]),
    ("setup_launcher_2_2_0_30", (2, 2, 0, 30), [("0409", "04B0", "2.2.0.30")]),
    ("setup_launcher_1_9_0_0", (1, 9, 0, 0), [("0409", "04B0", "1.9.0.0")]),
    ("setup_launcher_two_translations", (2, 2, 0, 30),
     [("0409", "04B0", "2.2.0.30"), ("0407", "04B0", "2.2.0.40")]),
    ("setup_launcher_spaced", (2, 2, 0, 35), [("0409", "04B0", "  2.2.0.35 ")]),
])
def test_launcher_variant_version_resource(tools, target, numbers, tables):
    key, fixed, children = version_resource(tools / f"{target}.exe")
    assert key == "VS_VERSION_INFO"
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    assert signature == 0xFEEF04BD
    assert (product_ms, product_ls) == (file_ms, file_ls) == fixed_version(numbers)

    translation = children["VarFileInfo"][1]["Translation"][0]
    pairs = struct.unpack(f"<{len(translation) // 2}H", translation)
    assert [(f"{pairs[i]:04X}", f"{pairs[i + 1]:04X}") for i in range(0, len(pairs), 2)] == [
        (language, code_page) for language, code_page, _ in tables]

    string_tables = children["StringFileInfo"][1]
    assert list(string_tables) == [language + code_page for language, code_page, _ in tables]
    for language, code_page, text in tables:
        strings = string_tables[language + code_page][1]
        values = {name: value.decode("utf-16-le").rstrip("\0") for name, (value, _) in
                  strings.items()}
        assert values["ProductVersion"] == values["FileVersion"] == text


def resource_directory(path):
    """(RVA, size) of a PE file's resource directory; (0, 0) when it has no resources."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    is_pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    return struct.unpack_from("<II", data, optional + (112 if is_pe32_plus else 96) + 16)


def test_launcher_without_version_resource_has_none_and_still_runs(wine, tools, tmp_path):
    launcher = tools / "setup_launcher_no_version.exe"
    assert resource_directory(launcher) == (0, 0)
    assert resource_directory(tools / "setup_launcher.exe") != (0, 0)  # the reader finds some
    record = tmp_path / "record.txt"
    _, code = run_batch(wine, tmp_path, quoted(launcher, wine) + " /s",
                        {"VANTREL_LAUNCHER_RECORD": wine.to_windows(record),
                         "VANTREL_LAUNCHER_EXIT_CODE": "5"})
    assert (code, record.read_bytes()) == (5, (quoted(launcher, wine) + " /s\n").encode())


# --- message boxes -----------------------------------------------------------------------------

def png_size(path):
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", data[16:24])


def lit_pixels(path):
    """How many pixels of the image are not black (Xvfb's empty screen is all black)."""
    text = subprocess.run(["convert", str(path), "-fill", "white", "+opaque", "black",
                           "-format", "%[fx:mean*w*h]", "info:"], check=True,
                          capture_output=True, text=True).stdout
    return round(float(text))


@pytest.mark.parametrize("text, caption", [
    ("Hello from the probe", "Vantrel probe"),
    ("Zwei Zeilen:\nGröße ✓ \\ 100%", "Vantrel probe é"),
], ids=["plain", "two-lines"])
def test_message_box_is_found_read_photographed_and_answered(wine, tools, x_display, tmp_path,
                                                              text, caption):
    probe = tools / "message_box_probe.exe"
    process = message_box.start_gui_program(wine, [probe, text, caption], env=LOCALE)
    try:
        answered = message_box.answer_message_box(
            x_display, caption, tmp_path / "box.png", wine=wine,
            window_text_exe=tools / "window_text.exe", process=process)
        assert process.wait(timeout=60) == IDOK
    finally:
        if process.poll() is None:
            process.kill()
            process.wait(timeout=60)
    assert ("Static", text) in answered.controls
    assert ("Button", "OK") in answered.controls
    assert png_size(answered.screenshot) == (1024, 768)
    assert lit_pixels(answered.screenshot) > 1000  # the box is drawn, not only mapped
    assert message_box.find_windows(x_display, caption) == []


def test_message_box_probe_usage(wine, tools):
    result = wine.run([tools / "message_box_probe.exe", "only text"])
    assert result.returncode == 2 and b"usage" in result.stderr
