"""The 64-bit test tools under Wine: setup launcher stand-in, debugger output capture, file holder.

Wine builds a program's command line from the Unix argv by its own quoting rules, and wine64
hands back only the low 8 bits of an exit code. Where a test needs an exact raw command line or
a full 32-bit exit code, the program is started from a batch file instead: cmd passes the line
to CreateProcess as written and can print %ERRORLEVEL%.
"""
import struct
import subprocess

import pytest

# Batch files are read in the OEM code page, which Wine derives from the host locale; pin it
# (to 437) so that é is written and read back the same way everywhere.
LOCALE = {"LC_ALL": "C.UTF-8"}
ERROR_INVALID_PARAMETER = 87
ERROR_PATH_NOT_FOUND = 3
ERROR_SHARING_VIOLATION = 32


@pytest.fixture(scope="module")
def tools(win_x64):
    directory = win_x64 / "tools"
    for name in ("setup_launcher", "debug_capture", "debug_emitter", "file_holder"):
        if not (directory / f"{name}.exe").is_file():
            pytest.fail(f"{name}.exe is missing: build the win-x64 preset first")
    return directory


def run(wine, args, env=None, **kwargs):
    return wine.run(args, env={**LOCALE, **(env or {})}, **kwargs)


def run_batch(wine, tmp_path, line, env=None):
    """Runs `line` from a batch file; returns (stdout before the exit line, 32-bit exit code)."""
    batch = tmp_path / "run.bat"
    text = "@" + line.replace("%", "%%") + "\r\n@echo exit=%ERRORLEVEL%\r\n"
    batch.write_bytes(text.encode("cp437"))
    result = run(wine, ["cmd", "/c", wine.to_windows(batch)], env)
    output, marker, code = result.stdout.rpartition(b"exit=")
    assert marker, result
    return output, int(code) & 0xFFFFFFFF


def quoted(path, wine):
    return f'"{wine.to_windows(path)}"'


@pytest.mark.parametrize("tail", [
    "",
    '/quiet "C:\\Program Files\\x y\\"',
    "a  b\t c   ",
    "%PATH% 100% x%y",
    'é "é é"',
])
@pytest.mark.parametrize("through_capture", [False, True], ids=["direct", "capture"])
def test_launcher_appends_the_exact_command_line(wine, tools, tmp_path, tail, through_capture):
    record = tmp_path / "record.txt"
    record.write_bytes(b"earlier line\n")
    launcher_line = quoted(tools / "setup_launcher.exe", wine) + (" " + tail if tail else "")
    # debug_capture's child gets the raw text after its own name and the blanks after it.
    line = (quoted(tools / "debug_capture.exe", wine) + "  " + launcher_line
            if through_capture else launcher_line)

    _, code = run_batch(wine, tmp_path, line, {"VANTREL_LAUNCHER_RECORD": wine.to_windows(record)})

    assert code == 0
    assert record.read_bytes() == b"earlier line\n" + launcher_line.encode() + b"\n"


@pytest.mark.parametrize("setting, expected", [
    (None, 0),
    ("0", 0),
    ("3", 3),
    ("1605", 1605),
    ("4294967291", 4294967291),
    ("-5", 4294967291),
    ("-2147483648", 0x80000000),
    ("4294967296", ERROR_INVALID_PARAMETER),
    ("12x", ERROR_INVALID_PARAMETER),
])
def test_launcher_exits_with_the_chosen_code(wine, tools, tmp_path, setting, expected):
    env = {} if setting is None else {"VANTREL_LAUNCHER_EXIT_CODE": setting}
    _, code = run_batch(wine, tmp_path, quoted(tools / "setup_launcher.exe", wine), env)
    assert code == expected
    # A Unix parent sees only the low byte, and Wine turns a low byte of 0 into 1 for any
    # nonzero code, so that failure never reads as success.
    unix_status = expected & 0xFF or int(expected != 0)
    assert run(wine, [tools / "setup_launcher.exe"], env).returncode == unix_status


@pytest.mark.parametrize("holder_mode, expected", [
    (None, ERROR_PATH_NOT_FOUND),
    ("read", ERROR_SHARING_VIOLATION),
    ("readwrite", 0),
])
def test_launcher_fails_with_the_error_of_a_lost_record(wine, tools, tmp_path, holder_mode,
                                                        expected):
    record = tmp_path / ("record.txt" if holder_mode else "missing/record.txt")
    env = {"VANTREL_LAUNCHER_RECORD": wine.to_windows(record), "VANTREL_LAUNCHER_EXIT_CODE": "9"}
    holder = hold(wine, tools, record, holder_mode) if holder_mode else None
    try:
        result = run(wine, [tools / "setup_launcher.exe", "x"], env)
    finally:
        if holder:
            release(holder)
    assert result.returncode == (expected or 9)
    if holder_mode == "readwrite":
        assert record.read_bytes().endswith(b" x\n")


def version_resource(path):
    """The VS_VERSIONINFO tree of a PE file as (key, value bytes, {child key: child})."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    is_pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    resource_rva = struct.unpack_from("<I", data, optional + (112 if is_pe32_plus else 96) + 16)[0]

    def file_offset(rva):
        for i in range(section_count):
            header = optional + optional_size + 40 * i
            size, va, _, raw = struct.unpack_from("<IIII", data, header + 8)
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"RVA {rva:#x} is in no section")

    root = file_offset(resource_rva)

    def entry(table, wanted=None):  # first matching entry of a resource directory
        named, numbered = struct.unpack_from("<HH", data, root + table + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, root + table + 16 + 8 * i)
            if wanted in (None, ident):
                return target & 0x7FFFFFFF
        raise KeyError(wanted)

    leaf = entry(entry(entry(0, 16)))  # RT_VERSION, first name, first language
    rva, size = struct.unpack_from("<II", data, root + leaf)
    blob = data[file_offset(rva):file_offset(rva) + size]

    def node(pos):
        length, value_length, is_text = struct.unpack_from("<HHH", blob, pos)
        end, key_end = pos + length, pos + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        value_pos = (key_end + 2 + 3) & ~3
        value = blob[value_pos:value_pos + value_length * (2 if is_text else 1)]
        children, child = {}, (value_pos + len(value) + 3) & ~3
        while child < end:
            key, child_value, grandchildren, child = node(child)
            children[key] = (child_value, grandchildren)
        return blob[pos + 6:key_end].decode("utf-16-le"), value, children, (end + 3) & ~3

    key, value, children, _ = node(0)
    return key, value, children


def test_launcher_carries_the_product_version(tools):
    key, fixed, children = version_resource(tools / "setup_launcher.exe")
    assert key == "VS_VERSION_INFO"
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    assert signature == 0xFEEF04BD
    assert (product_ms, product_ls) == (file_ms, file_ls) == (5 << 16 | 1, 0 << 16 | 20)
    strings = children["StringFileInfo"][1]["040904B0"][1]
    text = {name: value.decode("utf-16-le").rstrip("\0") for name, (value, _) in strings.items()}
    assert text["ProductVersion"] == text["FileVersion"] == "5.1.0.20"
    assert text["FileDescription"] == "Setup launcher for tests"
    assert text["ProductName"]


@pytest.mark.parametrize("args, expected", [
    (["one", "two", "three"], "one\ntwo\nthree\n"),
    (["back\\slash", "two\\nlines", "cr\\rlf\\n"], "back\\\\slash\ntwo\\nlines\ncr\\rlf\\n\n"),
    (["", "é €", "50% \"q\""], "\né €\n50% \"q\"\n"),
])
def test_debug_capture_prints_each_string_on_one_line(wine, tools, args, expected):
    result = run(wine, [tools / "debug_capture.exe", tools / "debug_emitter.exe", *args])
    assert (result.stdout.decode(), result.returncode) == (expected, 0)


@pytest.mark.parametrize("code", [0, 7, 1605, -5])
def test_debug_capture_exits_with_the_child_code(wine, tools, tmp_path, code):
    line = " ".join([quoted(tools / "debug_capture.exe", wine),
                     quoted(tools / "debug_emitter.exe", wine), "a", "b"])
    output, exit_code = run_batch(wine, tmp_path, line, {"VANTREL_EMITTER_EXIT_CODE": str(code)})
    assert (output.decode(), exit_code) == ("a\nb\n", code & 0xFFFFFFFF)


@pytest.mark.parametrize("args, expected_code, message", [
    ([], 254, "usage"),
    (["Z:\\no\\such\\program.exe", "x"], 255, "cannot start"),
])
def test_debug_capture_reports_its_own_failures(wine, tools, args, expected_code, message):
    result = run(wine, [tools / "debug_capture.exe", *args])
    assert (result.returncode, result.stdout) == (expected_code, b"")
    assert message in result.stderr.decode()


def hold(wine, tools, path, mode):
    """Starts a file_holder and waits until it holds `path`; release() lets it go."""
    # Only "held" is read from the pipe, never up to its end, which Wine's background processes
    # may keep open.
    holder = wine.popen([tools / "file_holder.exe", wine.to_windows(path), mode], env=LOCALE,
                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = holder.stdout.readline()
    if line != b"held\n":
        holder.stdin.close()
        pytest.fail(f"file_holder {mode} did not hold {path}: {line!r}, exit {holder.wait(60)}")
    return holder


def release(holder):
    holder.stdin.close()
    assert holder.wait(timeout=60) == 0


@pytest.mark.parametrize("first, second, second_opens", [
    ("read", "readwrite", False),
    ("none", "readwrite", False),
    ("readwrite", "read", False),  # the second does not let the first keep its write access
    ("readwrite", "readwrite", True),
])
def test_file_holder_shares_as_asked(wine, tools, tmp_path, first, second, second_opens):
    path = tmp_path / "held.log"
    holder = hold(wine, tools, path, first)
    try:
        result = run(wine, [tools / "file_holder.exe", wine.to_windows(path), second], input=b"")
    finally:
        release(holder)
    if second_opens:
        assert (result.returncode, result.stdout) == (0, b"held\n")
    else:
        assert (result.returncode, result.stdout) == (1, b"")
        assert "error 32" in result.stderr.decode()
    # Once released, nothing is left in the way.
    assert run(wine, [tools / "file_holder.exe", wine.to_windows(path), second],
               input=b"").returncode == 0


@pytest.mark.parametrize("args", [[], ["Z:\\tmp\\x"], ["Z:\\tmp\\x", "write"]])
def test_file_holder_rejects_bad_arguments(wine, tools, args):
    result = run(wine, [tools / "file_holder.exe", *args], input=b"")
    assert result.returncode == 2 and "usage" in result.stderr.decode()
