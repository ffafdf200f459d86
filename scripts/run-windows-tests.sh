#!/usr/bin/env bash
# Runs the Windows tier (pytest under Wine) against the binaries in build/win-i686 and
# build/win-x64. Extra arguments go to pytest.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$repo_root/scripts/wine-env.sh"
cd "$repo_root/tests/windows"
# Without CAP_DAC_OVERRIDE even root honours a read-only file, as Windows does. Wine now and
# then fails to start a process at all: a test that failed with Wine's own start failure
# (WineStartFailure, raised by conftest.py from Wine's loader messages) is run once more and
# named in the summary (R); any other failure fails the run at once.
exec setpriv --bounding-set -dac_override,-dac_read_search \
  /usr/bin/python3 -m pytest -p no:cacheprovider --reruns 1 --reruns-delay 2 \
  --only-rerun WineStartFailure -rfER "$@"
