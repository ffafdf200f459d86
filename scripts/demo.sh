#!/usr/bin/env bash
# The main job, shown end to end on a fresh Wine prefix reporting 64-bit Windows 8: an older
# stack package (2.1.0.0) is installed with Windows Installer; stackboot.exe then runs with an
# answer file next to a setup launcher that carries the new package (2.2.0.35). stackboot finds
# the old registration, removes it with msiexec and starts the launcher, which installs the new
# package. Prints the registration before and after, the diagnostic log of the run, the command
# line the launcher received and the exit code. Extra arguments replace the answer file as
# stackboot's command line (e.g. /q). stackboot.exe is the signed one of the release folder
# (build/release/<version>/); the setup launcher and the packages are test builds.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

scripts/install-deps.sh
scripts/build.sh win-x64
# The release is assembled again only when something it is made of changed since: a whole
# release costs a build from scratch, and the test command has just made one.
release="$repo_root/build/release/$(scripts/project-version.sh)"
if [ ! -f "$release/stackboot.exe" ] ||
  [ -n "$(find bootstrapper radioctl cmake CMakeLists.txt CMakePresets.json scripts/release*.sh \
    scripts/release-files -newer "$release/stackboot.exe" -print -quit)" ]; then
  scripts/release.sh
fi

demo="$repo_root/build/demo"
export WINEPREFIX="$demo/wineprefix"
[ -d "$demo/wineprefix" ] && WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
rm -rf "$demo"
mkdir -p "$demo/package"
echo "Creating a fresh Wine prefix (64-bit Windows 8) in $WINEPREFIX ..."
source scripts/wine-env.sh
trap 'wineserver -k 2>/dev/null || true' EXIT

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
key='HKEY_CLASSES_ROOT\Installer\Products\37F90B4ED1C258A46B2E173FD8509C4A'
packages=build/win-x64/tools/packages
show_registration() {
  "$WINE64" reg query "$key" 2>/dev/null | tr -d '\r' | grep -E 'ProductName|ProductVersion' |
    sed 's/^ */  /' || echo "  (not registered)"
}

# The package folder as it ships: the bootstrapper, the launcher with its package, an answer file.
package="$demo/package"
cp "$release/stackboot.exe" "$package/"
cp build/win-x64/tools/setup_launcher_2_2_0_35.exe "$package/win864.exe"
cp "$packages/demo_stack_2_2_0_35.msi" "$package/stack.msi"
printf '%s\r\n' '[CommonInfo]' 'SilenceInstall=1' 'LANG=1033' \
  'LOG=C:\users\Public\stack-install.log' '' '[MSParam]' 'REBOOT=ReallySuppress' \
  > "$package/answers.ini"

echo "Installing the older stack package 2.1.0.0 ..."
"$WINE64" msiexec /i "$(windows_path "$repo_root/$packages/demo_stack_2_1_0_0.msi")" /qn
echo "Registration before:"
show_registration

arguments=("$(windows_path "$package/answers.ini")")
[ $# -gt 0 ] && arguments=("$@")
# Through a batch file, so that the whole 32-bit exit code is seen (Wine hands Linux only its
# low byte).
{
  printf '@%s %s\r\n' "$(windows_path "$package/stackboot.exe")" "${arguments[*]}"
  printf '@echo %%ERRORLEVEL%% > %s\r\n' "$(windows_path "$demo/exit-code.txt")"
} > "$demo/run.bat"
echo
echo "Running: stackboot.exe ${arguments[*]}"
VANTREL_LAUNCHER_RECORD="$(windows_path "$demo/launcher-command-line.txt")" \
  "$WINE64" cmd /c "$(windows_path "$demo/run.bat")"
wineserver -w

echo
echo "Registration after:"
show_registration
echo
echo "Diagnostic log (C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt):"
tr -d '\r' < "$WINEPREFIX/drive_c/Program Files (x86)/Common Files/Vantrel/UARTDriver.txt" |
  sed 's/^/  /'
echo
echo "Command line received by the setup launcher (win864.exe):"
if [ -f "$demo/launcher-command-line.txt" ]; then
  sed 's/.*/  [&]/' "$demo/launcher-command-line.txt"
else
  echo "  (the launcher was not started)"
fi
echo
echo "stackboot.exe exit code: $(tr -d '\r ' < "$demo/exit-code.txt")"
