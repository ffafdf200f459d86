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
//
// Demo mode: when a file stack.msi lies in the launcher's own folder, the launcher behaves like a
// real one and installs it. It reads these switches from its command line (letters in either
// case; anything else is skipped):
//
//   /s          silent; changes nothing, as the launcher has no window of its own anyway
//   /v"<text>"  text for msiexec; inside the quotes \" stands for a literal ", and the text ends
//               at the first " that no backslash precedes (or at the end of the line)
//   /v<text>    the same, unquoted: up to the next blank (e.g. /v/qn)
//   /l<id>      language id; recorded in a dry run, otherwise ignored
//
// Several /v parts are joined with one blank (empty ones add nothing). The launcher then runs
//   "<system folder>\msiexec.exe" /i "<own folder>\stack.msi"[ <joined /v text>]
// with the system folder's msiexec.exe named as the application (never found through the search
// path), waits for it and exits with its exit code, which overrides VANTREL_LAUNCHER_EXIT_CODE.
// The record, if asked for, is written before that.
//
//   VANTREL_LAUNCHER_DRY_RUN    "1": in demo mode, run nothing; append to the record the line
//                               "silent=<0|1> language=<id>" and then the msiexec command line,
//                               each plus "\n", and exit as without a package. Needs
//                               VANTREL_LAUNCHER_RECORD. Unset or "0": off. Anything else, or a
//                               dry run without a record: ERROR_INVALID_PARAMETER (87).
//
// Exit codes in demo mode, besides msiexec's own: the Win32 error that stopped msiexec from
// being started or waited for.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "tool_support.h"

namespace {

using vantrel::tools::HeapArray;
using vantrel::tools::UniqueHandle;

constexpr std::wstring_view kPackageName = L"stack.msi";

// What the demo mode takes from the launcher's command line.
struct LauncherSwitches {
  bool silent = false;
  std::wstring_view language;  // the text after the last /l, empty if none was given
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// Length of the token at the start of `text`: up to the first blank outside double quotes, so an
// unknown quoted argument is skipped as a whole.
std::size_t TokenLength(std::wstring_view text) {
  bool quoted = false;
  std::size_t pos = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] == L'"') quoted = !quoted;
    if (!quoted && IsBlank(text[pos])) break;
  }
  return pos;
}

// Parses the command-line tail (the text after the program name). The /v parts, unescaped and
// joined, go to `msiexec_text`. Pure: touches nothing but its arguments.
LauncherSwitches ParseSwitches(std::wstring_view tail, HeapArray<wchar_t>& msiexec_text) {
  LauncherSwitches switches;
  msiexec_text.Truncate(0);
  for (;;) {
    while (!tail.empty() && IsBlank(tail.front())) tail.remove_prefix(1);
    if (tail.empty()) return switches;
    const wchar_t letter = tail.size() >= 2 && tail[0] == L'/' ? Lower(tail[1]) : L'\0';
    const std::size_t token = TokenLength(tail);
    if (letter == L's' && token == 2) {
      switches.silent = true;
      tail.remove_prefix(token);
    } else if (letter == L'l') {
      tail.remove_prefix(2);
      // remove_prefix and the (pointer, length) constructor, unlike substr, cannot throw, so no
      // exception support is linked.
      switches.language = std::wstring_view(tail.data(), TokenLength(tail));
      tail.remove_prefix(switches.language.size());
    } else if (letter == L'v') {
      tail.remove_prefix(2);
      HeapArray<wchar_t> part;
      if (!tail.empty() && tail.front() == L'"') {
        tail.remove_prefix(1);
        while (!tail.empty() && tail.front() != L'"') {
          // A backslash before a quote only escapes it; every other backslash is kept as it is.
          if (tail.front() == L'\\' && tail.size() >= 2 && tail[1] == L'"') tail.remove_prefix(1);
          part.Append(tail.front());
          tail.remove_prefix(1);
        }
        if (!tail.empty()) tail.remove_prefix(1);  // the closing quote
      } else {
        std::size_t end = 0;
        while (end < tail.size() && !IsBlank(tail[end])) ++end;
        part.Append(std::wstring_view(tail.data(), end));
        tail.remove_prefix(end);
      }
      if (part.Size() != 0) {
        if (msiexec_text.Size() != 0) msiexec_text.Append(L' ');
        msiexec_text.Append(part.View());
      }
    } else {
      tail.remove_prefix(token);
    }
  }
}

// The command line for msiexec. Pure as well.
void BuildMsiexecCommandLine(std::wstring_view msiexec_path, std::wstring_view package_path,
                             std::wstring_view msiexec_text, HeapArray<wchar_t>& line) {
  line.Truncate(0);
  line.Append(L'"');
  line.Append(msiexec_path);
  line.Append(L"\" /i \"");
  line.Append(package_path);
  line.Append(L'"');
  if (!msiexec_text.empty()) {
    line.Append(L' ');
    line.Append(msiexec_text);
  }
}

// Returns ERROR_SUCCESS or the error that stopped the lines from being written.
DWORD AppendToRecord(const wchar_t* record_path, std::initializer_list<std::wstring_view> lines) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the current end of file,
  // so launchers that run one after another (or at once) never overwrite each other's lines.
  // Tests read the record while other processes may still hold it, hence the wide sharing.
  UniqueHandle file(CreateFileW(record_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return GetLastError();
  // One write for all lines keeps them in one piece.
  HeapArray<char> text;
  for (const std::wstring_view line : lines) {
    vantrel::tools::AppendUtf8(text, line);
    text.Append('\n');
  }
  if (!vantrel::tools::WriteAll(file.Get(), text.View())) return GetLastError();
  return ERROR_SUCCESS;
}

// The full path of this program, growing the buffer until it fits.
bool GetOwnPath(HeapArray<wchar_t>& path) {
  for (DWORD capacity = MAX_PATH;; capacity *= 2) {
    path.Truncate(0);
    const DWORD length = GetModuleFileNameW(nullptr, path.Grow(capacity), capacity);
    if (length == 0) return false;
    if (length < capacity) {
      path.Truncate(length);
      return true;
    }
  }
}

// The package beside this program, if there is one.
bool FindPackage(HeapArray<wchar_t>& package_path) {
  if (!GetOwnPath(package_path)) return false;
  const std::size_t separator = package_path.View().find_last_of(L"\\/");
  if (separator == std::wstring_view::npos) return false;
  package_path.Truncate(separator + 1);
  package_path.Append(kPackageName);
  const DWORD attributes = GetFileAttributesW(package_path.CStr());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool GetMsiexecPath(HeapArray<wchar_t>& path) {
  path.Truncate(0);
  const UINT needed = GetSystemDirectoryW(nullptr, 0);
  if (needed == 0) return false;
  const UINT length = GetSystemDirectoryW(path.Grow(needed), needed);
  if (length == 0 || length >= needed) return false;
  path.Truncate(length);
  path.Append(L"\\msiexec.exe");
  return true;
}

// Runs msiexec and returns its exit code, or the error that kept it from running. The command
// line is used up.
DWORD RunMsiexec(HeapArray<wchar_t>& msiexec_path, HeapArray<wchar_t>& command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line, so it gets a terminated, writable buffer.
  command_line.Append(L'\0');
  if (!CreateProcessW(msiexec_path.CStr(), command_line.Data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return GetLastError();
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  DWORD code = 0;
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.Get(), &code)) {
    return GetLastError();
  }
  return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HeapArray<wchar_t> record_path;
  const bool recording = vantrel::tools::GetEnvironment(L"VANTREL_LAUNCHER_RECORD", record_path);
  if (recording) {
    const DWORD error = AppendToRecord(record_path.CStr(), {GetCommandLineW()});
    if (error != ERROR_SUCCESS) return static_cast<int>(error);
  }
  const std::uint32_t code =
      vantrel::tools::ExitCodeFromEnvironment(L"VANTREL_LAUNCHER_EXIT_CODE", 0);

  HeapArray<wchar_t> package_path;
  if (!FindPackage(package_path)) return static_cast<int>(code);

  bool dry_run = false;
  HeapArray<wchar_t> dry_run_setting;
  if (vantrel::tools::GetEnvironment(L"VANTREL_LAUNCHER_DRY_RUN", dry_run_setting)) {
    if (dry_run_setting.View() == L"1") {
      dry_run = true;
    } else if (dry_run_setting.View() != L"0") {
      return ERROR_INVALID_PARAMETER;
    }
  }
  if (dry_run && !recording) return ERROR_INVALID_PARAMETER;

  HeapArray<wchar_t> msiexec_text;
  const LauncherSwitches switches =
      ParseSwitches(vantrel::tools::CommandLineAfterProgramName(GetCommandLineW()), msiexec_text);
  HeapArray<wchar_t> msiexec_path;
  if (!GetMsiexecPath(msiexec_path)) return static_cast<int>(GetLastError());
  HeapArray<wchar_t> command_line;
  BuildMsiexecCommandLine(msiexec_path.View(), package_path.View(), msiexec_text.View(),
                          command_line);

  if (dry_run) {
    HeapArray<wchar_t> settings;
    settings.Append(switches.silent ? L"silent=1 language=" : L"silent=0 language=");
    settings.Append(switches.language);
    const DWORD error = AppendToRecord(record_path.CStr(), {settings.View(), command_line.View()});
    return static_cast<int>(error != ERROR_SUCCESS ? error : code);
  }
  return static_cast<int>(RunMsiexec(msiexec_path, command_line));
}
