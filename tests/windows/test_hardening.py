"""What the elevated stackboot.exe refuses to take from places the system did not name: DLLs
planted beside it, and a log file that is another file's second name.

Wine 8 creates no junctions or symbolic links of its own and shows Unix links as ordinary files,
so a log reached through a reparse point is refused in the native tier only."""
import os
import shutil

import pytest

from conftest import LOG_WINDOWS, debugger_lines

# DLLs that system DLLs load by bare name while stackboot runs (seen with WINEDEBUG=+loaddll),
# and the two that stackboot loads itself.
LOADED_AT_RUN_TIME = ["bcrypt.dll", "crypt32.dll", "rsaenh.dll", "psapi.dll", "version.dll"]
# Wine's own user32 imports version.dll (Windows' does not), so Wine resolves it while loading the
# program's imports, before any code of the program runs, and names the package folder's copy;
# it then runs its builtin code, not the planted file, which the marker shows.
RESOLVED_BEFORE_THE_PROGRAM_RUNS = {"version.dll"}


def test_dlls_planted_beside_the_program_are_never_loaded(make_package, log_file, win_i686):
    package = make_package()
    for name in LOADED_AT_RUN_TIME:
        shutil.copy(win_i686 / "tools" / "planted.dll", package.folder / name)
    result = package.run("/q", env={"WINEDEBUG": "-all,+loaddll"}, cwd=package.folder)
    assert result.returncode == 0
    trace = result.stderr.decode("latin-1").lower()

    def from_package(name):
        # The trace writes paths C-escaped: each backslash doubled.
        return (package.windows_folder.lower() + "\\" + name).replace("\\", "\\\\")

    assert from_package("stackboot.exe") in trace, "the trace shows loads from the package folder"
    for name in LOADED_AT_RUN_TIME:
        assert not (package.folder / (name + ".loaded")).exists(), name
        assert f'\\\\{name}" at' in trace, f"{name} was not loaded at all: the plant proves nothing"
        if name not in RESOLVED_BEFORE_THE_PROGRAM_RUNS:
            assert from_package(name) not in trace, name
    assert len(package.launcher_command_lines()) == 1


@pytest.fixture
def log_folder(wine, log_file):
    log_file.parent.mkdir(parents=True, exist_ok=True)
    return log_file.parent


def test_log_file_with_a_second_name_is_not_written(make_package, log_file, log_folder, tmp_path):
    # Whoever made the second name would choose the file that an elevated program appends to.
    elsewhere = tmp_path / "system-file.txt"
    elsewhere.write_bytes(b"precious\r\n")
    os.link(elsewhere, log_file)
    package = make_package()
    result = package.run("/q", env={"WINEDEBUG": "-all,warn+seh"})
    assert result.returncode == 0
    assert elsewhere.read_bytes() == b"precious\r\n"
    assert f"Log file exist.({LOG_WINDOWS})" in debugger_lines(result), \
        "the run goes on, logging to the debugger"
    assert len(package.launcher_command_lines()) == 1
