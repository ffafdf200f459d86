#!/usr/bin/env bash
# The main job, shown end to end: builds stackboot.exe, puts it into a demo package folder next
# to a recording setup launcher, runs it under Wine as Windows 8 (64-bit) and prints what it
# logged and the command line the launcher received.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

scripts/install-deps.sh
scripts/build.sh win-i686 win-x64
source scripts/wine-env.sh

package="$repo_root/build/demo/package"
record="$repo_root/build/demo/launcher-command-line.txt"
rm -rf "$repo_root/build/demo"
mkdir -p "$package"
cp build/win-i686/bootstrapper/stackboot.exe "$package/"
cp build/win-x64/tools/setup_launcher.exe "$package/win864.exe"

log="$WINEPREFIX/drive_c/Program Files (x86)/Common Files/Vantrel/UARTDriver.txt"
log_size_before=$(stat -c %s "$log" 2>/dev/null || echo 0)

set +e
VANTREL_LAUNCHER_RECORD="Z:${record//\//\\}" "$WINE64" "$package/stackboot.exe" "$@"
exit_code=$?
set -e
wineserver -w

echo "stackboot.exe exit code: $exit_code"
echo
echo "Diagnostic log, this run's lines (C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt):"
tail -c +"$((log_size_before + 1))" "$log" | tr -d '\r' | sed 's/^/  /'
echo
echo "Command line received by the setup launcher (win864.exe):"
if [ -f "$record" ]; then sed 's/.*/  [&]/' "$record"; else echo "  (the launcher was not started)"; fi
