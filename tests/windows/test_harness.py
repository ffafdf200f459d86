"""The Windows tier's own rules: only Wine's failure to start a process may be run again."""
import pytest

from conftest import WineStartFailure, check_wine_started


@pytest.mark.parametrize("stderr", [
    b"wine: failed to start L\"C:\\\\x.exe\"\n",
    b"0024:err:x\nwine: failed to open L\"C:\\\\x.exe\": c0000135\n",
    b"wine: failed to load start.exe: c0000135\n",
    b"wine: could not load ntdll.so: no such file\n",
    b"wine client error:0: write: Bad file descriptor\n",
], ids=["start", "open", "load-start", "ntdll", "server"])
def test_wines_own_start_failures_are_recognised(stderr):
    with pytest.raises(WineStartFailure):
        check_wine_started(stderr)


@pytest.mark.parametrize("stderr", [
    b"",
    b"warn:seh:OutputDebugStringA \"CreateProcess failed (2)\\n\"\n",
    b"wine: Unhandled page fault on read access to 00000000 at address 00401000\n",
    b"the program said: wine: failed to start\n",
], ids=["nothing", "our-line", "program-crash", "not-at-line-start"])
def test_other_failures_are_not_taken_for_wines(stderr):
    check_wine_started(stderr)
