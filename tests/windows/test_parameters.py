"""Setup parameters of the real stackboot.exe under Wine: answer files read by Windows' own
profile reader, and the folder of the launching program found through the process list."""
import os
import shutil

import pytest

from conftest import NOT_REGISTERED, RUN_START, messages, parse_log

WORKED_EXAMPLE_INI = """\
[CommonInfo]
SilenceInstall=1
LANG=1031
LOG=C:\\Temp\\stack.log

[MSParam]
INSTALLDIR=C:\\Program Files\\Radio Stack
REINSTALL=ALL
REBOOT=ReallySuppress
vtrlaunchdir=D:\\Media
COMMENT=
"""

WORKED_EXAMPLE_TEXT = (
    '/s /v"/qn /l* \\"C:\\Temp\\stack.log\\" INSTALLDIR=\\"C:\\Program Files\\Radio Stack \\" '
    'REBOOT=ReallySuppress vtrlaunchdir=\\"D:\\Media \\" "  /l1031')


def write_ini(path, text):
    path.write_bytes(text.replace("\n", "\r\n").encode("ascii"))
    return path


@pytest.fixture
def launching_program(win_x64, tmp_path):
    """A launching program of ours, copied into a folder whose path holds a blank.

    A process can read the main module path only of a process of its own bitness, and under
    qemu not even that for 32-bit processes; so the folder lookup runs in stackboot64.exe, the
    64-bit build of the same sources, started by a 64-bit launching program.
    """
    folder = tmp_path / "Launch Menu"
    folder.mkdir()
    program = folder / "run_child.exe"
    shutil.copy(win_x64 / "tools" / "run_child.exe", program)
    return program


@pytest.mark.parametrize("ini, text", [
    (WORKED_EXAMPLE_INI, WORKED_EXAMPLE_TEXT),
    ("[Other]\nA=1\n", '/v""  /l1033'),
    # Windows' reader ignores the case of names, blanks around them and quotes around values.
    ("[commoninfo]\n silenceinstall = 1 \nlang=\"1041\"\n[msparam]\nInstallDir = C:\\X\\\n",
     '/s /v"/qn InstallDir=\\"C:\\X\\ \\" "  /l1041'),
    ("[CommonInfo]\nLANG=\nLOG=\n[MSParam]\nreinstall=Core\nEMPTY=\n",
     '/v"reinstall=Core " '),
], ids=["worked-example", "neither-section", "reader-rules", "empty-values"])
def test_answer_file_reaches_the_launcher(make_package, log_file, tmp_path, ini, text):
    package = make_package()
    answers = write_ini(tmp_path / "answers.ini", ini)
    windows_answers = package.wine.to_windows(answers)
    assert package.run(windows_answers).returncode == 0
    assert package.launcher_command_lines() == [f"{package.windows_folder}\\win864.exe {text}"]
    logged = messages(log_file)
    assert logged[:len(RUN_START) + 3] == RUN_START + NOT_REGISTERED + [
        f"PathFileExists, lpCmdLine is {windows_answers}"]
    assert logged[-1] == f"{package.windows_folder}\\win864.exe {text}"


def test_quoted_answer_file_path_is_passed_on(make_package, tmp_path, launching_program):
    package = make_package(twin=True)
    answers = write_ini(tmp_path / "answers.ini", WORKED_EXAMPLE_INI)
    tail = f'"{package.wine.to_windows(answers)}"'
    command_line = f"{package.wine.to_windows(package.program)} {tail}"
    result = package.run_from([launching_program], env={"VANTREL_CHILD_COMMAND_LINE": command_line})
    assert result.returncode == 0
    folder = package.wine.to_windows(launching_program.parent)
    assert package.launcher_command_lines() == [
        f'{package.windows_folder}\\win864.exe {tail} /v"VTRLAUNCHDIR=\\"{folder}\\""']


def test_empty_tail_gives_the_launching_programs_folder(make_package, launching_program):
    package = make_package(twin=True)
    result = package.run_from([launching_program, package.wine.to_windows(package.program)])
    assert result.returncode == 0
    folder = package.wine.to_windows(launching_program.parent)
    assert package.launcher_command_lines() == [
        f'{package.windows_folder}\\win864.exe  /v"VTRLAUNCHDIR=\\"{folder}\\""']


def test_command_interpreter_is_looked_through(make_package, launching_program, wine):
    package = make_package(twin=True)
    twin_log = wine.drive_c / "Program Files/Common Files/Vantrel/UARTDriver.txt"
    logged_before = len(parse_log(twin_log.read_bytes())) if twin_log.exists() else 0
    result = package.run_from(
        [launching_program, "cmd.exe", "/c", package.wine.to_windows(package.program), "/q"])
    assert result.returncode == 0
    folder = package.wine.to_windows(launching_program.parent)
    parameters = f'/q /v"VTRLAUNCHDIR=\\"{folder}\\""'
    setup = f"{package.windows_folder}\\win864.exe {parameters}"
    assert package.launcher_command_lines() == [setup + " /s /v/qn"]
    run_lines = [text for _, text in parse_log(twin_log.read_bytes())[logged_before:]]
    assert run_lines[-4:] == ["lpCmdLine :/q", f"outCommandLine :{parameters}",
                              f"_strFileName {setup}", setup + " /s /v/qn"]


def test_tail_holding_the_property_is_passed_on_unchanged(make_package, log_file,
                                                          launching_program):
    package = make_package()  # the 32-bit program: the property needs no folder lookup
    tail = '/v"VTRLAUNCHDIR=\\"E:\\Autorun\\""'
    command_line = f"{package.wine.to_windows(package.program)} {tail}"
    result = package.run_from([launching_program], env={"VANTREL_CHILD_COMMAND_LINE": command_line})
    assert result.returncode == 0
    assert package.launcher_command_lines() == [f"{package.windows_folder}\\win864.exe {tail}"]
    assert not any(line.startswith("outCommandLine") for line in messages(log_file))


@pytest.fixture
def drive_m(wine, tmp_path):
    """Drive M: mapped to a folder of the test, through the prefix's dosdevices links."""
    link = wine.prefix / "dosdevices" / "m:"
    if os.path.lexists(link):
        pytest.fail("drive M: is already mapped in the test prefix")
    root = tmp_path / "drive-m"
    root.mkdir()
    os.symlink(root, link)
    yield root
    os.unlink(link)


def test_launching_program_in_a_drive_root_keeps_the_backslash(make_package, drive_m, win_x64):
    package = make_package(twin=True)
    shutil.copy(win_x64 / "tools" / "run_child.exe", drive_m / "run_child.exe")
    result = package.run_from(["M:\\run_child.exe", package.wine.to_windows(package.program)])
    assert result.returncode == 0
    assert package.launcher_command_lines() == [
        f'{package.windows_folder}\\win864.exe  /v"VTRLAUNCHDIR=\\"M:\\\\""']


@pytest.mark.parametrize("bitness", ["win-i686", "win-x64"])
def test_thirty_two_bit_program_names_its_launching_program(make_package, log_file, tmp_path,
                                                           bitness):
    # The shipping 32-bit program, started by a launching program of either bitness: a 32-bit
    # process cannot read a 64-bit one's modules (nor, under qemu, a 32-bit one's), so the folder
    # comes from the image name that the kernel keeps for every process.
    from conftest import BUILD_ROOT
    package = make_package()
    folder = tmp_path / "Media Menu"
    folder.mkdir()
    launcher = folder / "run_child.exe"
    shutil.copy(BUILD_ROOT / bitness / "tools" / "run_child.exe", launcher)
    result = package.run_from([launcher, package.wine.to_windows(package.program), "/q"],
                              env={"WINEDEBUG": "-all,warn+seh"})
    assert result.returncode == 0
    assert 'OutputDebugStringA "run_child.exe"' in result.stderr.decode("latin-1")
    parameters = f'/q /v"VTRLAUNCHDIR=\\"{package.wine.to_windows(folder)}\\""'
    setup = f"{package.windows_folder}\\win864.exe {parameters}"
    assert package.launcher_command_lines() == [setup + " /s /v/qn"]
    after_gate = len(RUN_START) + len(NOT_REGISTERED)
    assert messages(log_file)[after_gate:] == [
        "PathFile not Exists", "lpCmdLine :/q", f"outCommandLine :{parameters}",
        f"_strFileName {setup}", setup + " /s /v/qn"]


def test_relative_answer_file_is_read_from_the_current_folder(make_package, log_file):
    # Run from the package folder with a bare file name, as an administrator would type it.
    package = make_package()
    write_ini(package.folder / "answers.ini", WORKED_EXAMPLE_INI)
    result = package.run("answers.ini", cwd=package.folder)
    assert result.returncode == 0
    assert package.launcher_command_lines() == [
        f"{package.windows_folder}\\win864.exe {WORKED_EXAMPLE_TEXT}"]
    assert "PathFileExists, lpCmdLine is answers.ini" in messages(log_file), \
        "the log keeps the tail as received"
