// Test helper for debug_capture: sends each argument to OutputDebugStringW, then exits.
//
//   debug_emitter.exe <text>...
//
// In an argument the two-character sequences \n and \r become a real LF and CR, so tests can
// send line breaks through a command line.
//
//   VANTREL_EMITTER_EXIT_CODE  Decimal exit code, 0..4294967295 or negative (wraps to 32 bits).
//                              Unset: 0. Not a number: ERROR_INVALID_PARAMETER (87).

#include <windows.h>
// shellapi.h builds on the declarations of windows.h.
#include <shellapi.h>

#include <string_view>

#include "tool_support.h"

namespace {

// Returns the text with its escapes replaced, terminated for OutputDebugStringW.
const wchar_t* Unescape(std::wstring_view text, vantrel::tools::HeapArray<wchar_t>& plain) {
  plain.Truncate(0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && (text[i + 1] == L'n' || text[i + 1] == L'r')) {
      plain.Append(text[i + 1] == L'n' ? L'\n' : L'\r');
      ++i;
    } else {
      plain.Append(text[i]);
    }
  }
  return plain.CStr();
}

}  // namespace

int wmain() {
  // CommandLineToArgvW rather than the C runtime's argv: the two disagree on some quoting corner
  // cases, and callers quote for the former.
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args) {
    vantrel::tools::HeapArray<wchar_t> plain;
    for (int i = 1; i < count; ++i) OutputDebugStringW(Unescape(args[i], plain));
    LocalFree(args);
  }
  return static_cast<int>(vantrel::tools::ExitCodeFromEnvironment(L"VANTREL_EMITTER_EXIT_CODE", 0));
}
