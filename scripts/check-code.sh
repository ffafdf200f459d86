#!/usr/bin/env bash
# Static checks of the project's own code: formatting, clang-tidy (native core and tests, and the
# Win32 code against the MinGW headers) and cppcheck. Needs the compile databases of the native,
# win-i686 and win-x64 builds.
set -euo pipefail
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

mapfile -t native_sources < <(git ls-files 'bootstrapper/core/*.cpp' 'radioctl/core/*.cpp' 'tests/unit/*.cpp')
printf '%s\n' "${native_sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy --quiet -p build/native

# clang-tidy reads a MinGW build's flags; it needs the cross compiler's C++ and Windows include
# folders, but clang's own builtin headers in place of GCC's.
mingw_includes() {
  echo | "$1-g++-posix" -E -x c++ - -v 2>&1 |
    sed -n '/search starts here/,/End of search/p' | grep '^ ' | sed 's/^ //' |
    grep -vE '/12-posix/include(-fixed)?$'
}
tidy_mingw() {
  local triple=$1 build=$2
  shift 2
  local args=("--extra-arg=--target=$triple")
  while read -r dir; do args+=("--extra-arg=-isystem$dir"); done < <(mingw_includes "$triple")
  clang-tidy --quiet -p "$build" "${args[@]}" "$@"
}
mapfile -t win32_sources < <(git ls-files 'bootstrapper/win32/*.cpp')
tidy_mingw i686-w64-mingw32 build/win-i686 "${win32_sources[@]}"
mapfile -t radio_win32_sources < <(git ls-files 'radioctl/win32/*.cpp')
if ((${#radio_win32_sources[@]})); then
  tidy_mingw x86_64-w64-mingw32 build/win-x64 "${radio_win32_sources[@]}"
fi
mapfile -t tool_sources < <(git ls-files 'tools/*.cpp')
tidy_mingw x86_64-w64-mingw32 build/win-x64 "${tool_sources[@]}"

cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++20 \
  --inline-suppr --suppress=missingIncludeSystem -I bootstrapper/core -I radioctl/core \
  bootstrapper radioctl tools
