"""The README's main job, run whole: an older stack package is replaced through stackboot.exe."""
import subprocess

from conftest import REPO


def test_demo_upgrades_the_registered_stack_package():
    result = subprocess.run([str(REPO / "scripts" / "demo.sh")], capture_output=True, text=True,
                            timeout=900)
    assert result.returncode == 0, result.stderr[-2000:]
    out = result.stdout
    before = out[out.index("Registration before:"):out.index("Running:")]
    after = out[out.index("Registration after:"):out.index("Diagnostic log")]
    assert "ProductVersion    REG_SZ    2.1.0.0" in before
    assert "ProductVersion    REG_SZ    2.2.0.35" in after
    assert ("Uninstall _strCommandLine is msiexec /x {E4B09F73-2C1D-4A85-B6E2-71F38D05C9A4} "
            "/passive /norestart") in out
    assert 'win864.exe /s /v"/qn /l* \\"C:\\users\\Public\\stack-install.log\\" ' \
           'REBOOT=ReallySuppress "  /l1033]' in out
    assert out.rstrip().endswith("stackboot.exe exit code: 0")
