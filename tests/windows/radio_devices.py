"""Test devices for the radio library under Wine, and the radio host that loads the library.

The bus driver of our own (tools/radio/busdriver) is installed on root-enumerated devices by
devices.exe. Wine never brings a removed device's interface back under the same instance ID in
the same wineserver session, so every device gets a fresh instance name; and since Wine's
CM_Get_DevNode_Status counts every registered device as present, a device a test does not want
is removed, never disabled.
"""
import pathlib
import re
import shutil
import time
import uuid

import pytest

INSTANCE_PREFIX = "ROOT\\VANTREL_TEST\\"
# What `radio exports` prints for a library with exactly the two exports at their ordinals.
EXPORTS_LISTING = [
    "Module: radiogate.dll",
    "Export 1: BluetoothEnableRadio",
    "Export 2: IsBluetoothRadioEnabled",
    "Ordinal 1 is BluetoothEnableRadio: yes.",
    "Ordinal 2 is IsBluetoothRadioEnabled: yes.",
]
OTHER_MAKER = "Northwind Radio Works"


def library_path(win_x64):
    """The radio library of the build; the test fails (never skips) without it."""
    return tool_path(win_x64 / "radioctl" / "win32" / "radiogate.dll")


def tool_path(path):
    if not path.is_file():
        pytest.fail(f"{path.name} is missing ({path}): build the win-x64 preset")
    return path


class Run:
    """One run of the host: its exit code, the debugger lines and its own output lines."""

    def __init__(self, completed, seconds):
        self.code = completed.returncode
        self.seconds = seconds
        self.stderr = completed.stderr.decode("utf-8", "replace")
        self.debugger = []
        self.output = []
        # The capture program writes each debugger string escaped, so one that ends in a line
        # break ends in the two characters "\n"; the host's own lines are plain text. Both
        # arrive on the same stream, in no fixed order between the two processes.
        for line in completed.stdout.decode("utf-8").split("\n")[:-1]:
            if line.endswith("\\n"):
                self.debugger.append(unescape(line))
            else:
                self.output.append(line)

    def __repr__(self):
        return (f"Run(code={self.code}, debugger={self.debugger!r}, output={self.output!r}, "
                f"stderr={self.stderr!r})")


def unescape(line):
    return re.sub(r"\\(\\|r|n)", lambda m: {"\\": "\\", "r": "\r", "n": "\n"}[m.group(1)], line)


def lines_match(actual, expected):
    """Whether the lines are the expected ones, in order; an expected re.Pattern matches whole."""
    if len(actual) != len(expected):
        return False
    return all(e.fullmatch(a) if isinstance(e, re.Pattern) else a == e
               for a, e in zip(actual, expected))


class Devices:
    """Adds test devices with fresh instance names and removes every one of them afterwards."""

    def __init__(self, wine, program):
        self.wine = wine
        self.program = program
        self.added = []

    def _run(self, *args):
        return self.wine.run([self.program, *args], timeout=120)

    def _add(self, command, *args):
        instance = "T" + uuid.uuid4().hex[:12].upper()
        self.added.append(instance)
        result = self._run(command, instance, *args)
        assert result.returncode == 0, result
        return instance

    def add_bus(self):
        """A bus device; returns its instance name."""
        return self._add("add-bus")

    def add_radio(self, manufacturer=None):
        """A Bluetooth radio device with this manufacturer text (None: no such property)."""
        return self._add("add-radio", *([] if manufacturer is None else [manufacturer]))

    def set(self, instance, switch, value):
        result = self._run("set", instance, switch, str(value))
        assert result.returncode == 0, result

    def remove(self, instance):
        result = self._run("remove", instance)
        assert result.returncode == 0, result
        self.added.remove(instance)

    def listed(self):
        """(kind, instance ID) of every device with an interface of either class."""
        result = self._run("list")
        assert result.returncode == 0, result
        return [tuple(line.split(" ", 1)) for line in result.stdout.decode().splitlines()]

    def remove_all(self):
        for instance in list(self.added):
            self.remove(instance)


class Host:
    """radio.exe with radiogate.dll beside it, in a folder of the test's own."""

    def __init__(self, wine, folder, radio, library, capture):
        self.wine = wine
        self.folder = pathlib.Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.program = self.folder / "radio.exe"
        shutil.copy(radio, self.program)
        if library is not None:
            shutil.copy(library, self.folder / "radiogate.dll")
        self.capture = capture

    def run(self, *args, timeout=300, env=None, cwd=None):
        """Runs the host under the capture program, which reads every debugger line exactly."""
        start = time.monotonic()
        completed = self.wine.run([self.capture, self.program, *args], timeout=timeout, env=env,
                                  cwd=cwd)
        return Run(completed, time.monotonic() - start)

    def run_plain(self, *args, timeout=600, env=None, cwd=None):
        """Runs the host without a debugger (for timings: a debugger slows every line)."""
        start = time.monotonic()
        completed = self.wine.run([self.program, *args], timeout=timeout, env=env, cwd=cwd)
        return Run(completed, time.monotonic() - start)


@pytest.fixture(scope="session")
def radio_tools(win_x64):
    folder = win_x64 / "tools" / "radio"
    return {
        "radio": tool_path(folder / "radio.exe"),
        "devices": tool_path(folder / "busdriver" / "devices.exe"),
        "driver": tool_path(folder / "busdriver" / "vtbusenum.sys"),
        "inf": tool_path(folder / "busdriver" / "vtbusenum.inf"),
        "capture": tool_path(win_x64 / "tools" / "debug_capture.exe"),
        "library": library_path(win_x64),
    }


@pytest.fixture
def devices(wine, radio_tools):
    """The test's devices. It starts from none of either class (our leftovers of an earlier,
    interrupted session are removed) and leaves none behind."""
    bench = Devices(wine, radio_tools["devices"])
    for kind, instance_id in bench.listed():
        if instance_id.upper().startswith(INSTANCE_PREFIX):
            bench.added.append(instance_id[len(INSTANCE_PREFIX):])
    bench.remove_all()
    assert bench.listed() == [], "devices of another origin are registered in the test prefix"
    yield bench
    bench.remove_all()
    assert bench.listed() == []


@pytest.fixture
def host(wine, radio_tools, tmp_path):
    return Host(wine, tmp_path / "host", radio_tools["radio"], radio_tools["library"],
                radio_tools["capture"])
