"""Shared fixtures of the Windows tier: the real cross-built binaries run under Wine.

The prefix is made (once) by scripts/wine-env.sh, which the test command sources; these
fixtures keep a wineserver running for the session and stop it at the end.
"""
import os
import pathlib
import re
import shutil
import subprocess
import tempfile

import pytest

import message_box

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD_ROOT = pathlib.Path(os.environ.get("VANTREL_BUILD_ROOT", REPO / "build"))
WINE64 = "/usr/lib/wine/wine64"


# What Wine itself prints when it cannot start a process at all (its loader or its server
# failing), as opposed to anything the program under test does. Only such a failure is run again.
WINE_START_FAILURE = re.compile(
    rb"^(wine: (failed to (start|open|load) |could not load ntdll\.so)|could not exec the wine "
    rb"loader|wine client error:)", re.MULTILINE)


class WineStartFailure(Exception):
    """Wine failed to start a process; the test may be run once more (see run-windows-tests.sh)."""


def check_wine_started(stderr):
    match = WINE_START_FAILURE.search(stderr)
    if match:
        line = stderr[match.start():].split(b"\n", 1)[0].decode("latin-1")
        raise WineStartFailure(line)


class Wine:
    def __init__(self):
        if "WINEPREFIX" not in os.environ:
            pytest.fail("WINEPREFIX is not set: source scripts/wine-env.sh first")
        self.prefix = pathlib.Path(os.environ["WINEPREFIX"])
        self.env = dict(os.environ)
        self.env.setdefault("WINEDEBUG", "-all")
        self.env["QEMU_RESERVED_VA"] = "0x7fff0000"

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    @staticmethod
    def to_windows(path):
        """The Windows path of a Unix path, through Wine's Z: drive (mapped to /)."""
        return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")

    def run(self, args, *, env=None, timeout=120, cwd=None, input=None):
        """Runs a Windows program; returns the CompletedProcess (bytes output).

        Output goes through files, not pipes: Wine's background processes (services, explorer)
        inherit the handles and would keep a pipe open long after the program has ended.
        """
        merged = dict(self.env)
        if env:
            merged.update(env)
        command = [WINE64, *map(str, args)]
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            completed = subprocess.run(command, env=merged, cwd=cwd, timeout=timeout,
                                       input=input, stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            stderr = err.read()
            check_wine_started(stderr)
            return subprocess.CompletedProcess(command, completed.returncode, out.read(), stderr)

    def run_for_exit_code(self, command_line, folder, *, env=None, timeout=180):
        """Runs a Windows command line through a batch file and returns its whole 32-bit exit
        code (Wine hands Linux only the low byte); the code is read as unsigned."""
        folder = pathlib.Path(folder)
        batch = folder / "run-for-exit-code.bat"
        code_file = folder / "exit-code.txt"
        code_file.unlink(missing_ok=True)
        batch.write_bytes(
            f"@{command_line}\r\n@echo %ERRORLEVEL% > {self.to_windows(code_file)}\r\n"
            .encode("latin-1"))
        result = self.run(["cmd", "/c", self.to_windows(batch)], env=env, timeout=timeout,
                          cwd=folder)
        assert code_file.exists(), result.stderr[-2000:]
        return int(code_file.read_text().strip()) & 0xFFFFFFFF, result

    def popen(self, args, *, env=None, **kwargs):
        merged = dict(self.env)
        if env:
            merged.update(env)
        return subprocess.Popen([WINE64, *map(str, args)], env=merged, **kwargs)

    def server(self, *flags):
        return subprocess.run(["wineserver", *flags], env=self.env, timeout=120).returncode


def has_dac_override():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("CapEff:"):
                return bool(int(line.split()[1], 16) & (1 << 1))
    return False


@pytest.fixture(scope="session")
def wine(x_display):
    # Wine keeps a file's read-only attribute in its Unix permission bits, which root ignores
    # unless it runs without CAP_DAC_OVERRIDE (scripts/run-windows-tests.sh drops it).
    if has_dac_override():
        pytest.fail("run the Windows tests through scripts/run-windows-tests.sh")
    w = Wine()
    # Every Wine program of the session shares one display, so that the desktop process that
    # shows windows is always on it (see message_box.py).
    w.env.update(x_display.env)
    # A resident wineserver makes every program start far cheaper; one may already be running
    # for this prefix, which serves as well.
    w.server("-p")
    yield w
    w.server("-k")
    w.server("-w")


@pytest.fixture(scope="session")
def win_i686():
    return BUILD_ROOT / "win-i686"


@pytest.fixture(scope="session")
def win_x64():
    return BUILD_ROOT / "win-x64"


LOG_RELATIVE = pathlib.PurePosixPath("Program Files (x86)/Common Files/Vantrel/UARTDriver.txt")
LOG_WINDOWS = "C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt"


KEY_64 = "Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A"

# What every run on 64-bit Windows 8 logs first: the log file, the classification (its closing
# line feed gives a stamped empty line and an unstamped one) and the registration check.
RUN_START = [
    f"Log file ({LOG_WINDOWS})",
    f"Log file exist.({LOG_WINDOWS})",
    "Windows 8 ",
    "",
    "",
    "CheckProductInstalled started.",
    "GetInstallerCode started.",
    f"Installer code is {KEY_64}",
    "GetInstallerCode finished.",
]
NOT_REGISTERED = [f"RegOpenKeyEx {KEY_64} failed.(2)", "CheckProductInstalled finished."]


def parse_log(data):
    """Splits the log's bytes into (time stamp or None, message text) per line.

    The file holds single bytes (code page 1252 is a superset of what we check), lines end in
    CR LF, and a line without a time stamp is the rest of a message that held a line feed.
    """
    assert data.endswith(b"\r\n") or not data, data[-40:]
    lines = []
    for raw in data.split(b"\r\n")[:-1]:
        text = raw.decode("latin-1")
        if len(text) >= 12 and text[2] == ":" and text[5] == ":" and text[8:12] == ":   ":
            lines.append((text[:8], text[12:]))
        else:
            lines.append((None, text))
    return lines


def messages(log_file):
    """The messages of the log file, line by line, without their time stamps."""
    return [text for _, text in parse_log(log_file.read_bytes())]


def debugger_lines(result):
    """A 32-bit program's debugger lines, from Wine's trace (run with WINEDEBUG=-all,warn+seh)."""
    lines = []
    for line in result.stderr.decode("latin-1").splitlines():
        match = re.search(r'warn:seh:OutputDebugStringA "(.*)"$', line)
        if match:
            lines.append(match.group(1).encode("latin-1").decode("unicode_escape"))
    return lines


class Package:
    """A folder holding stackboot.exe and a setup launcher of ours that records its command line."""

    def __init__(self, wine, folder, stackboot, launcher, launcher_name="win864.exe"):
        self.wine = wine
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.program = self.folder / pathlib.Path(stackboot).name
        shutil.copy(stackboot, self.program)
        if launcher is not None:
            shutil.copy(launcher, self.folder / launcher_name)
        self.record = self.folder.parent / (self.folder.name + "-launcher.txt")

    @property
    def windows_folder(self):
        return self.wine.to_windows(self.folder)

    def run(self, *args, env=None, cwd=None, launcher_exit_code=0, timeout=180):
        """Runs stackboot.exe straight from Wine's loader with the given arguments."""
        return self.run_from([self.program, *args], env=env, cwd=cwd,
                             launcher_exit_code=launcher_exit_code, timeout=timeout)

    def run_from(self, command, *, env=None, cwd=None, launcher_exit_code=0, timeout=180):
        """Runs a command (for instance a launching program that starts stackboot.exe)."""
        merged = self.launcher_env(launcher_exit_code)
        if env:
            merged.update(env)
        return self.wine.run(command, env=merged, cwd=cwd or self.folder.parent, timeout=timeout)

    def launcher_env(self, launcher_exit_code=0):
        """What the launcher stand-in needs: where to record its command line, what to return."""
        return {
            "VANTREL_LAUNCHER_RECORD": self.wine.to_windows(self.record),
            "VANTREL_LAUNCHER_EXIT_CODE": str(launcher_exit_code),
        }

    def launcher_command_lines(self):
        if not self.record.exists():
            return []
        return self.record.read_bytes().decode("utf-8").split("\n")[:-1]


@pytest.fixture
def log_file(wine):
    """The diagnostic log, removed before the test so that it holds this test's runs only."""
    path = wine.drive_c / LOG_RELATIVE
    if path.exists():
        os.chmod(path, 0o644)
        path.unlink()
    yield path
    if path.exists():
        os.chmod(path, 0o644)


@pytest.fixture
def make_package(wine, win_i686, win_x64, tmp_path):
    stackboot = win_i686 / "bootstrapper" / "stackboot.exe"

    def make(name="package", launcher_name="win864.exe", with_launcher=True, twin=False,
             launcher_build="setup_launcher"):
        """A package folder; `twin` puts in the 64-bit test build stackboot64.exe instead, and
        `launcher_build` names the build of the setup launcher stand-in to put in."""
        program = win_x64 / "bootstrapper" / "stackboot64.exe" if twin else stackboot
        launcher = win_x64 / "tools" / f"{launcher_build}.exe"
        return Package(wine, tmp_path / name, program, launcher if with_launcher else None,
                       launcher_name)

    return make


@pytest.fixture(scope="session")
def x_display():
    """A virtual X display (Xvfb) of the session, on which Wine programs show their windows;
    it ends after the session's Wine processes."""
    display = message_box.start_xvfb()
    try:
        yield display
    finally:
        message_box.stop_xvfb(display)
