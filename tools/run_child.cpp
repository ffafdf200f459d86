// Starts a program and waits for it, standing in for whatever launches the bootstrapper (an
// autorun menu, an installer shell). It is built for both bitnesses: a program can read the main
// module path only of processes of its own bitness, so tests launch the 32-bit bootstrapper
// from the 32-bit build.
//
//   run_child.exe <command line>
//   run_child.exe                 (the command line from VANTREL_CHILD_COMMAND_LINE)
//
// The command line is taken verbatim from the text after this program's own name, or from the
// environment when there is none, so that tests can hand over quotes and blanks exactly. Exit
// codes: the child's exit code; 254 without a command line; 255 when the child cannot be
// started.

#include <windows.h>

#include "tool_support.h"

int wmain() {
  vantrel::tools::HeapArray<wchar_t> commandLine;
  const std::wstring_view tail = vantrel::tools::CommandLineAfterProgramName(GetCommandLineW());
  if (!tail.empty()) {
    commandLine.Append(tail);
  } else if (!vantrel::tools::GetEnvironment(L"VANTREL_CHILD_COMMAND_LINE", commandLine)) {
    return 254;
  }
  commandLine.Append(L'\0');

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof(process));
  if (!CreateProcessW(nullptr, commandLine.Data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    vantrel::tools::WriteStderr({L"run_child: the program could not be started\n"});
    return 255;
  }
  const vantrel::tools::UniqueHandle processHandle(process.hProcess);
  const vantrel::tools::UniqueHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 255;
  GetExitCodeProcess(processHandle.Get(), &exitCode);
  return static_cast<int>(exitCode);
}
