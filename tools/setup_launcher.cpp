// Stand-in for the setup launcher that the bootstrapper starts, so tests can see exactly what the
// bootstrapper asked for and steer what it gets back.
//
//   VANTREL_LAUNCHER_RECORD     Windows path; the raw command line (UTF-8) plus "\n" is appended
//                               to it. Unset: nothing is recorded.
//   VANTREL_LAUNCHER_EXIT_CODE  Decimal exit code, 0..4294967295 or negative (wraps to 32 bits).
//                               Unset: 0. Not a number: ERROR_INVALID_PARAMETER (87).
//
// If the record cannot be written the launcher exits with the Win32 error of that failure
// instead, so that a lost record never passes for a normal run.

#include <windows.h>

#include <cstdint>

#include "tool_support.h"

namespace {

using vantrel::tools::HeapArray;
using vantrel::tools::UniqueHandle;

// Returns ERROR_SUCCESS or the error that stopped the record from being written.
DWORD AppendCommandLine(const wchar_t* record_path) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the current end of file,
  // so launchers that run one after another (or at once) never overwrite each other's lines.
  // Tests read the record while other processes may still hold it, hence the wide sharing.
  UniqueHandle file(CreateFileW(record_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return GetLastError();
  // One write for the whole line keeps it in one piece.
  HeapArray<char> line;
  vantrel::tools::AppendUtf8(line, GetCommandLineW());
  line.Append('\n');
  if (!vantrel::tools::WriteAll(file.Get(), line.View())) return GetLastError();
  return ERROR_SUCCESS;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HeapArray<wchar_t> record_path;
  if (vantrel::tools::GetEnvironment(L"VANTREL_LAUNCHER_RECORD", record_path)) {
    const DWORD error = AppendCommandLine(record_path.CStr());
    if (error != ERROR_SUCCESS) return static_cast<int>(error);
  }
  const std::uint32_t code =
      vantrel::tools::ExitCodeFromEnvironment(L"VANTREL_LAUNCHER_EXIT_CODE", 0);
  return static_cast<int>(code);
}
