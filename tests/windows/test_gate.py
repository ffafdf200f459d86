"""The installed-package gate of the real stackboot.exe under Wine, with real Windows Installer
packages registered by msiexec: equal and lower versions are removed before the launcher runs,
a higher one ends the run."""
import shutil

import pytest

import installer
import message_box
from conftest import BUILD_ROOT, KEY_64, RUN_START, debugger_lines, messages

# Kept after the run, for a person to look at.
SCREENSHOTS = BUILD_ROOT / "screenshots"

UNINSTALL_QUIET = f"msiexec /x {installer.PRODUCT_CODE} /quiet /norestart"
UNINSTALL_PASSIVE = f"msiexec /x {installer.PRODUCT_CODE} /passive /norestart"


@pytest.fixture
def product(wine, win_x64, tmp_path):
    """Registers a test stack package with msiexec; nothing of it is left after the test."""
    scratch = tmp_path / "msiexec"
    scratch.mkdir()

    def clean():
        assert installer.remove(wine, scratch) in (installer.ERROR_SUCCESS,
                                                   installer.ERROR_UNKNOWN_PRODUCT)

    def register(package):
        assert installer.install(wine, scratch, installer.package_path(win_x64, package)) == 0

    clean()
    yield register
    clean()


def registered_version(wine):
    """ProductVersion of the registration key: the text, None without it, False without the key."""
    values = installer.registry_values(wine, installer.PRODUCT_KEY)
    if values is None:
        return False
    return values.get("ProductVersion", (None, None))[1]


def with_stack_package(package, win_x64, msi="stack_2_2_0_35"):
    """Puts a stack package beside the launcher, which then installs it (its demo mode)."""
    shutil.copy(installer.package_path(win_x64, msi), package.folder / "stack.msi")


@pytest.mark.parametrize("registered", ["stack_2_2_0_35", "stack_2_2_0_30",
                                        "stack_2_2_0_35_without_version_value"],
                         ids=["equal", "lower", "no-version-value"])
def test_registered_package_is_removed_before_the_launcher_installs(
        make_package, log_file, product, wine, win_x64, registered):
    product(registered)
    assert registered_version(wine) is not False
    package = make_package(launcher_build="setup_launcher_2_2_0_35")
    with_stack_package(package, win_x64)
    result = package.run("/q")
    # Had the older package stayed, msiexec would refuse the new one (1638) and the launcher
    # would hand that code on.
    assert result.returncode == 0
    assert registered_version(wine) == "2.2.0.35"
    logged = messages(log_file)
    gate = RUN_START + [f"CheckStackIsInstallEx is true.({KEY_64})",
                        "CheckProductInstalled finished.", "Windows 8 ", "", "",
                        f"Uninstall _strCommandLine is {UNINSTALL_QUIET}"]
    assert logged[:len(gate)] == gate
    assert len(package.launcher_command_lines()) == 1


def test_removal_in_a_normal_run_is_passive(make_package, log_file, product, wine, win_x64):
    product("stack_2_2_0_30")
    package = make_package(launcher_build="setup_launcher_2_2_0_35")
    assert package.run().returncode == 0
    assert f"Uninstall _strCommandLine is {UNINSTALL_PASSIVE}" in messages(log_file)
    assert registered_version(wine) is False
    assert len(package.launcher_command_lines()) == 1


@pytest.mark.parametrize("registered, launcher_build, candidate", [
    ("1.10.0.0", "setup_launcher_1_9_0_0", "1.9.0.0"),
    ("2.2.0.35", "setup_launcher_2_2_0_30", "2.2.0.30"),
    ("2.2.0.35", "setup_launcher_no_version", ""),
], ids=["numeric-order", "lower-candidate", "launcher-without-version"])
def test_higher_registered_version_ends_a_quiet_run(make_package, log_file, product, wine,
                                                    registered, launcher_build, candidate):
    product("stack_" + registered.replace(".", "_"))
    package = make_package(launcher_build=launcher_build)
    result = package.run("/q", env={"WINEDEBUG": "-all,warn+seh"})
    assert result.returncode == 0
    assert package.launcher_command_lines() == []
    assert registered_version(wine) == registered
    assert debugger_lines(result)[-1] == (
        f"the ProductVersion({registered}) existed is higher than the ProductVersion({candidate}) "
        "to be installed.")
    assert messages(log_file)[-1] == "", "the log holds no line about the decision"


@pytest.mark.parametrize("launcher_build, candidate", [
    ("setup_launcher_two_translations", "2.2.0.40"),
    ("setup_launcher_spaced", "2.2.0.35"),
], ids=["last-translation-wins", "blanks-trimmed"])
def test_candidate_version_comes_from_the_launchers_version_resource(
        make_package, log_file, product, wine, launcher_build, candidate):
    product("stack_2_2_0_35")
    package = make_package(launcher_build=launcher_build)
    result = package.run("/q", env={"WINEDEBUG": "-all,warn+seh"})
    assert result.returncode == 0
    lines = debugger_lines(result)
    start = lines.index(f"The _strModuleName is {package.windows_folder}\\win864.exe.")
    assert lines[start:start + 5] == [
        f"The _strModuleName is {package.windows_folder}\\win864.exe.", "Windows 8 ", "\n",
        "The ProductVersion existed is 2.2.0.35.",
        f"The ProductVersion to be installed is {candidate}."]
    assert registered_version(wine) is False
    assert len(package.launcher_command_lines()) == 1


MESSAGE = "The existed ProductVersion is higher than your ProductVersion. Installation quit."


def test_higher_version_in_a_normal_run_asks_the_user(make_package, log_file, product, wine,
                                                      win_x64, x_display, tmp_path):
    product("stack_2_2_0_35")
    package = make_package(launcher_build="setup_launcher_2_2_0_30")
    tools = win_x64 / "tools"
    process = message_box.start_gui_program(wine, [package.program], env=package.launcher_env())
    try:
        answered = message_box.answer_message_box(
            x_display, "Kestrava", tmp_path / "kestrava.png", wine=wine,
            window_text_exe=tools / "window_text.exe", process=process)
        assert process.wait(timeout=120) == 0
    finally:
        if process.poll() is None:
            process.kill()
            process.wait(timeout=60)
    SCREENSHOTS.mkdir(parents=True, exist_ok=True)
    shutil.copy(answered.screenshot, SCREENSHOTS / "higher-version-message-box.png")
    assert ("Static", MESSAGE) in answered.controls
    assert ("Button", "OK") in answered.controls
    assert [control for control in answered.controls if control[0] == "Button"] == [
        ("Button", "OK")], "an OK button only"
    assert package.launcher_command_lines() == []
    assert registered_version(wine) == "2.2.0.35"
