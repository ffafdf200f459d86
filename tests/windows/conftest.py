"""Shared fixtures of the Windows tier: the real cross-built binaries run under Wine.

The prefix is made (once) by scripts/wine-env.sh, which the test command sources; these
fixtures keep a wineserver running for the session and stop it at the end.
"""
import os
import pathlib
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD_ROOT = pathlib.Path(os.environ.get("VANTREL_BUILD_ROOT", REPO / "build"))
WINE64 = "/usr/lib/wine/wine64"


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
        """Runs a Windows program; returns the CompletedProcess (bytes output)."""
        merged = dict(self.env)
        if env:
            merged.update(env)
        return subprocess.run([WINE64, *map(str, args)], env=merged, cwd=cwd, timeout=timeout,
                              input=input, capture_output=True)

    def popen(self, args, *, env=None, **kwargs):
        merged = dict(self.env)
        if env:
            merged.update(env)
        return subprocess.Popen([WINE64, *map(str, args)], env=merged, **kwargs)

    def server(self, *flags):
        subprocess.run(["wineserver", *flags], env=self.env, check=True, timeout=120)


@pytest.fixture(scope="session")
def wine():
    w = Wine()
    # A resident wineserver makes every program start far cheaper.
    w.server("-p")
    yield w
    w.server("-k")


@pytest.fixture(scope="session")
def win_i686():
    return BUILD_ROOT / "win-i686"


@pytest.fixture(scope="session")
def win_x64():
    return BUILD_ROOT / "win-x64"
