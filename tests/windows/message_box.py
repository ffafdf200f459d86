"""Wine programs' message boxes on a virtual X display: find, read, photograph and answer them.

Under Wine a window is shown through the prefix's desktop process (explorer.exe /desktop), which
takes its X display from the first program that needs it and lives until shortly after the last
one. A desktop process started without a display makes every GUI program fail for as long as it
lives, so the Windows tests give every Wine program of the session the same Xvfb display (the
`wine` fixture in conftest.py), and a message box simply appears there.

Xvfb runs without a window manager, so windows have no frame or title bar: the title exists only
as the X window's name, which is how the window is found. Wine draws a dialog's texts itself, so
the X server holds only their pixels; window_text.exe (tools/) reads them from inside Wine.
"""
import dataclasses
import os
import pathlib
import re
import select
import subprocess
import time


@dataclasses.dataclass
class XDisplay:
    number: int
    process: subprocess.Popen

    @property
    def name(self):
        return f":{self.number}"

    @property
    def env(self):
        return {"DISPLAY": self.name}


def start_xvfb(size="1024x768x24", timeout=30):
    """Starts Xvfb on a display number that nobody uses.

    The server picks the number itself (-displayfd: the lowest one whose socket and lock file
    are free) and writes it once it accepts connections, so two test runs starting at once
    cannot end up on one display.
    """
    ready, write_end = os.pipe()
    try:
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
    finally:
        os.close(write_end)
    try:
        text = b""
        deadline = time.monotonic() + timeout
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([ready], [], [], remaining)[0]:
                _stop(process)
                raise TimeoutError("Xvfb did not start")
            chunk = os.read(ready, 32)
            if not chunk:  # Xvfb has ended
                raise RuntimeError(f"Xvfb failed with {process.wait(timeout=10)}")
            text += chunk
    finally:
        os.close(ready)
    return XDisplay(int(text), process)


def _stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


def stop_xvfb(display):
    _stop(display.process)


def start_gui_program(wine, args, *, env=None):
    """Starts a Windows program whose windows appear on the session's display; returns its
    Popen."""
    return wine.popen(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL)


def _xdotool(display, *args, timeout=10):
    # xdotool reports windows that vanish while it walks the tree as X errors on stderr, and
    # "windowfocus --sync" waits for ever on a window that has gone: a call is judged by its
    # output only, and one that hangs counts as one that failed.
    command = ["xdotool", *args]
    try:
        return subprocess.run(command, env={**os.environ, **display.env}, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(command, -1, b"", b"")


def find_windows(display, title):
    """X windows whose name is exactly `title`."""
    result = _xdotool(display, "search", "--name", f"^{re.escape(title)}$")
    return [int(word) for word in result.stdout.split()]


def wait_for_window(display, title, timeout=30, process=None):
    """The X window named `title`, once it is there; fails early if `process` ends first."""
    deadline = time.monotonic() + timeout
    while True:
        windows = find_windows(display, title)
        if windows:
            return windows[0]
        if process is not None and process.poll() is not None:
            raise AssertionError(f"program ended with {process.returncode} before showing "
                                 f"a window titled {title!r}")
        if time.monotonic() > deadline:
            raise TimeoutError(f"no window titled {title!r} on {display.name}")
        time.sleep(0.1)


def screenshot(display, path):
    """The whole screen as a PNG file."""
    subprocess.run(["import", "-display", display.name, "-window", "root", str(path)],
                   check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    return pathlib.Path(path)


def window_geometry(display, window):
    result = _xdotool(display, "getwindowgeometry", "--shell", str(window))
    fields = dict(line.split("=", 1) for line in result.stdout.decode().split() if "=" in line)
    return tuple(int(fields[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


def read_window_texts(wine, window_text_exe, display, title):
    """[(class name, text)] of the controls of the Wine window titled `title`."""
    # Wine reads the arguments in the Unix locale's encoding: make that UTF-8, as Python sends.
    result = wine.run([window_text_exe, title], env={**display.env, "LC_ALL": "C.UTF-8"})
    assert result.returncode == 0, f"window_text found no window {title!r}: {result}"
    controls = []
    for line in result.stdout.decode("utf-8").split("\n")[:-1]:
        class_name, _, text = line.partition("\t")
        unescaped = re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)),
                           text)
        controls.append((class_name, unescaped))
    return controls


@dataclasses.dataclass
class AnsweredBox:
    screenshot: pathlib.Path
    controls: list  # [(class name, text)], empty when no reader was given


def answer_message_box(display, title, screenshot_path, *, wine=None, window_text_exe=None,
                       process=None, timeout=30):
    """Waits for the message box titled `title`, reads its texts (given `wine` and
    window_text_exe), saves a screenshot and answers the box's default button (OK)."""
    window = wait_for_window(display, title, timeout, process)
    controls = []
    if wine is not None and window_text_exe is not None:
        controls = read_window_texts(wine, window_text_exe, display, title)
    shot = screenshot(display, screenshot_path)
    _dismiss(display, window, title)
    return AnsweredBox(shot, controls)


def _dismiss(display, window, title):
    """Presses Return in the box, which answers its default button; if the box is still there
    after a few tries, clicks its button instead (without a window manager a key sometimes goes
    nowhere)."""
    def gone(seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if window not in find_windows(display, title):
                return True
            time.sleep(0.1)
        return False

    for _ in range(3):
        _xdotool(display, "windowfocus", "--sync", str(window))
        _xdotool(display, "key", "Return")
        if gone(5):
            return
    # A message box with one button has it centred near its bottom edge.
    _, _, width, height = window_geometry(display, window)
    _xdotool(display, "mousemove", "--window", str(window), str(width // 2), str(height - 20),
             "click", "1")
    if not gone(5):
        raise TimeoutError(f"message box {title!r} did not close")
