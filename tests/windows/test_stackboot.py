"""The real 32-bit stackboot.exe under Wine: log file, OS gate, launcher start and exit codes."""
import datetime
import re
import subprocess

import pytest

from conftest import LOG_WINDOWS, NOT_REGISTERED, RUN_START, debugger_lines, messages, parse_log

FEED_REST = (None, "")  # the unstamped rest of the classification's closing line feed


# A run started straight from Wine's loader is launched by its start.exe, a 64-bit program: the
# 32-bit stackboot cannot read its main module, but the kernel names its image.
LOADER_FOLDER = "C:\\windows\\system32"


def parameters(tail=""):
    return f'{tail} /v"VTRLAUNCHDIR=\\"{LOADER_FOLDER}\\""'


def launched(package, tail="", quiet=False):
    """The setup command line of a run started straight from Wine's loader."""
    return f"{package.windows_folder}\\win864.exe {parameters(tail)}" + (
        " /s /v/qn" if quiet else "")


def expected_run(package, tail="", quiet=False):
    return RUN_START + NOT_REGISTERED + [
        "PathFile not Exists", f"lpCmdLine :{tail}", f"outCommandLine :{parameters(tail)}",
        f"_strFileName {launched(package, tail)}", launched(package, tail, quiet)]


def test_log_lines_time_stamps_and_launcher_command_line(make_package, log_file):
    package = make_package()
    before = datetime.datetime.now()
    result = package.run()
    assert result.returncode == 0, result.stderr
    lines = parse_log(log_file.read_bytes())
    assert [text for _, text in lines] == expected_run(package)
    assert lines[4] == FEED_REST
    for stamp, _ in lines[:4] + lines[5:]:
        assert re.fullmatch(r"([01]\d|2[0-3]):[0-5]\d:[0-5]\d", stamp), stamp
        moment = datetime.datetime.combine(before.date(), datetime.time.fromisoformat(stamp))
        assert abs((moment - before).total_seconds()) < 600
    assert package.launcher_command_lines() == [launched(package)]


def test_two_runs_accumulate_in_one_log(make_package, log_file):
    package = make_package()
    assert package.run().returncode == 0
    first = log_file.read_bytes()
    assert package.run().returncode == 0
    second = log_file.read_bytes()
    assert second.startswith(first)
    assert messages(log_file) == expected_run(package) * 2


def test_debugger_receives_every_message_in_order(make_package, log_file):
    package = make_package()
    result = package.run(env={"WINEDEBUG": "-all,warn+seh"})
    assert result.returncode == 0
    traced = debugger_lines(result)
    expected = [text for text in expected_run(package) if text]
    expected.insert(3, "\n")
    expected.insert(expected.index("lpCmdLine :") + 1, "start.exe")
    assert traced.count("start.exe") == 1
    assert traced == expected


@pytest.mark.parametrize(
    "argument, quiet",
    [("/q", True), ("-Q", True), ("/quiet", True), ("q", False), ("/s", False)],
    ids=["slash-q", "dash-Q", "slash-quiet", "lone-q", "slash-s"])
def test_quiet_switch_appends_silent_switches(make_package, log_file, argument, quiet):
    package = make_package()
    assert package.run(argument).returncode == 0
    assert package.launcher_command_lines() == [launched(package, argument, quiet)]
    assert messages(log_file) == expected_run(package, argument, quiet)


def test_two_arguments_do_not_switch_quiet_mode_on(make_package, log_file):
    package = make_package()
    assert package.run("/q", "x").returncode == 0
    assert package.launcher_command_lines() == [launched(package, "/q x")]


def test_launcher_beside_the_program_is_found_from_any_current_folder(make_package, log_file,
                                                                      tmp_path):
    package = make_package()
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    # A launcher of the same name in the current folder must not be the one started.
    decoy = make_package("elsewhere")
    assert package.run(cwd=elsewhere).returncode == 0
    assert package.launcher_command_lines() == [launched(package)]
    assert decoy.launcher_command_lines() == []


# Windows Installer's own codes (user exit, fatal error, restart needed) and codes above 16 bits,
# read whole: 67 is the low byte of 1603, and Linux keeps no more of a Wine exit status.
@pytest.mark.parametrize("code", [0, 1602, 1603, 3010, 70000, 0xC0000005])
def test_launcher_exit_code_becomes_the_programs(make_package, log_file, wine, code):
    package = make_package()
    exit_code, _ = wine.run_for_exit_code(
        wine.to_windows(package.program), package.folder.parent,
        env=package.launcher_env(launcher_exit_code=code))
    assert exit_code == code
    assert len(package.launcher_command_lines()) == 1


def test_missing_launcher_is_logged_with_the_error_code(make_package, log_file, wine):
    package = make_package(with_launcher=False)
    exit_code, _ = wine.run_for_exit_code(wine.to_windows(package.program), package.folder.parent,
                                          env=package.launcher_env())
    assert exit_code == 2  # ERROR_FILE_NOT_FOUND
    lines = parse_log(log_file.read_bytes())
    assert [text for _, text in lines[-2:]] == ["CreateProcess failed (2)", ""]
    assert lines[-1][0] is None


@pytest.fixture
def reported_windows(wine):
    """Makes Wine report a chosen Windows release to stackboot.exe only."""
    key = "HKCU\\Software\\Wine\\AppDefaults\\stackboot.exe"

    def report(version):
        assert wine.run(["reg", "add", key, "/v", "Version", "/d", version, "/f"]).returncode == 0

    yield report
    wine.run(["reg", "delete", key, "/f"])


def test_windows_7_is_refused(make_package, log_file, reported_windows):
    reported_windows("win7")
    package = make_package()
    result = package.run("/q")
    assert result.returncode == 1
    assert messages(log_file) == RUN_START[:2] + ["Windows 7 ", "", "", "This OS is not supported."]
    assert package.launcher_command_lines() == []


@pytest.mark.parametrize("version", ["win81", "win10"])
def test_later_releases_report_themselves_as_windows_8(make_package, log_file, reported_windows,
                                                       version):
    reported_windows(version)
    package = make_package()
    assert package.run().returncode == 0
    assert messages(log_file) == expected_run(package)


def test_read_only_log_leaves_the_run_going_without_file_output(make_package, log_file, wine):
    package = make_package()
    assert package.run().returncode == 0
    before = log_file.read_bytes()
    assert wine.run(["attrib", "+r", LOG_WINDOWS]).returncode == 0
    assert package.run("/q").returncode == 0
    assert log_file.read_bytes() == before
    assert package.launcher_command_lines()[-1].endswith(" /s /v/qn")


@pytest.mark.parametrize("sharing, grows", [("read", False), ("readwrite", True)],
                         ids=["held-without-write-sharing", "held-for-reading-and-writing"])
def test_log_held_open_by_another_program(make_package, log_file, wine, win_x64, sharing, grows):
    package = make_package()
    log_file.parent.mkdir(parents=True, exist_ok=True)
    log_file.write_bytes(b"earlier\r\n")
    holder = wine.popen([win_x64 / "tools" / "file_holder.exe", LOG_WINDOWS, sharing],
                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        assert holder.stdout.readline().strip() == b"held"
        assert package.run().returncode == 0
    finally:
        holder.stdin.close()
        holder.wait(timeout=60)
    assert len(package.launcher_command_lines()) == 1
    if grows:
        assert messages(log_file) == ["earlier"] + expected_run(package)
    else:
        assert log_file.read_bytes() == b"earlier\r\n"


def test_package_folder_with_blanks_starts_its_own_launcher(make_package, log_file, tmp_path):
    # Left to the search rules, "...\My Setup\win864.exe" would first be tried as "...\My.exe".
    decoy = make_package("My")
    (decoy.folder / "win864.exe").rename(tmp_path / "My.exe")
    package = make_package("My Setup")
    assert package.run().returncode == 0
    assert package.launcher_command_lines() == [launched(package)]
    assert not decoy.record.exists()


def test_characters_beyond_latin1_become_question_marks_and_later_lines_survive(
        make_package, log_file):
    package = make_package("caf\u00e9 \u4e2d")
    assert package.run("/q").returncode == 0
    assert package.launcher_command_lines() == [launched(package, "/q", quiet=True)]
    data = log_file.read_bytes()
    assert "_strFileName ".encode() + package.windows_folder.encode("latin-1", "replace") in data
    assert messages(log_file)[-1] == launched(package, "/q", quiet=True).replace("\u4e2d", "?")
