// Shows one message box and exits with the button that closed it, so the GUI tests can check
// that they find a Wine window under a virtual X display, see it and press its button.
//
//   message_box_probe.exe <text> <caption>
//
// The box has an OK button only and no owner window. Exit codes: the MessageBoxW result (IDOK,
// 1, when OK was pressed), 0 if the box could not be shown, 2 for wrong arguments (with a usage
// line on stderr).

#include <windows.h>

#include "tool_support.h"

namespace {

constexpr int kExitUsage = 2;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    vantrel::tools::WriteStderr({L"usage: message_box_probe.exe <text> <caption>\n"});
    return kExitUsage;
  }
  return MessageBoxW(nullptr, argv[1], argv[2], MB_OK);
}
