// Runs a program as a debuggee and prints every string it sends to OutputDebugString, one line
// each, so tests can read a GUI program's debugger output under Wine.
//
//   debug_capture.exe <command line>
//
// The command line is taken verbatim from the text after this program's own name, so quoting
// and blanks reach the child exactly as written. Each string is printed as UTF-8 with "\" written
// as "\\", CR as "\r" and LF as "\n", then a real LF.
//
// Under Wine 8 a 32-bit child delivers no OUTPUT_DEBUG_STRING_EVENT (nor its initial breakpoint)
// to this 64-bit debugger; it runs and its exit code comes back, but nothing is printed. Capture
// 64-bit builds.
//
// Exit codes: the child's exit code once it has exited; otherwise
//   254  no command line given
//   255  the child could not be started, or debugging it failed (message on stderr)

#include <windows.h>

#include <string_view>

#include "tool_support.h"

namespace {

using vantrel::tools::CommandLineAfterProgramName;
using vantrel::tools::Decimal;
using vantrel::tools::HeapArray;
using vantrel::tools::UniqueHandle;
using vantrel::tools::WriteStderr;

constexpr int kExitNoCommandLine = 254;
constexpr int kExitDebugFailure = 255;

// Reads the debuggee's string. The reported length counts the terminator; the string also ends
// at an earlier NUL, as OutputDebugString itself would see it.
void ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info,
                     HeapArray<wchar_t>& text) {
  const size_t units = info.nDebugStringLength;
  SIZE_T read = 0;
  if (info.fUnicode) {
    ReadProcessMemory(process, info.lpDebugStringData, text.Grow(units), units * sizeof(wchar_t),
                      &read);
    text.Truncate(read / sizeof(wchar_t));
    text.Truncate(text.View().find(L'\0'));
    return;
  }
  HeapArray<char> bytes;
  ReadProcessMemory(process, info.lpDebugStringData, bytes.Grow(units), units, &read);
  bytes.Truncate(read);
  bytes.Truncate(bytes.View().find('\0'));
  if (bytes.Size() == 0) return;
  // A fixed code page rather than the ANSI one, so the output does not depend on the locale that
  // Wine happens to pick up from the host.
  const int length = static_cast<int>(bytes.Size());
  const int needed = MultiByteToWideChar(1252, 0, bytes.Data(), length, nullptr, 0);
  if (needed <= 0) return;
  MultiByteToWideChar(1252, 0, bytes.Data(), length, text.Grow(static_cast<size_t>(needed)),
                      needed);
}

}  // namespace

int wmain() {
  const std::wstring_view child_line = CommandLineAfterProgramName(GetCommandLineW());
  if (child_line.empty()) {
    WriteStderr({L"usage: debug_capture.exe <command line>\n"});
    return kExitNoCommandLine;
  }

  // CreateProcessW may write into the command line, so it gets a private copy.
  HeapArray<wchar_t> mutable_line;
  mutable_line.Append(child_line);
  mutable_line.Append(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  // No inherited handles: the child must not write into our stdout, which carries only the
  // captured strings, nor keep the caller's pipes open after we have exited.
  if (!CreateProcessW(nullptr, mutable_line.Data(), nullptr, nullptr, FALSE,
                      DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &started)) {
    const DWORD error = GetLastError();
    WriteStderr({L"debug_capture: cannot start \"", child_line, L"\": error ",
                 Decimal(error).View(), L"\n"});
    return kExitDebugFailure;
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);

  for (;;) {
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, INFINITE)) {
      const DWORD error = GetLastError();
      WriteStderr(
          {L"debug_capture: WaitForDebugEvent failed: error ", Decimal(error).View(), L"\n"});
      return kExitDebugFailure;
    }
    DWORD continue_status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case OUTPUT_DEBUG_STRING_EVENT: {
        HeapArray<wchar_t> text;
        ReadDebugString(process.Get(), event.u.DebugString, text);
        HeapArray<char> line;
        vantrel::tools::AppendEscapedLine(line, text.View());
        // One write per line: nothing is buffered, so a reader sees each line at once.
        vantrel::tools::WriteAll(out, line.View());
        break;
      }
      case EXCEPTION_DEBUG_EVENT:
        // The loader's initial breakpoint is ours to swallow. Any other exception belongs to the
        // child: continuing it as handled would re-run a faulting instruction for ever, and would
        // hide exceptions the child catches itself.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          continue_status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT: {
        const DWORD code = event.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return static_cast<int>(code);
      }
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continue_status);
  }
}
