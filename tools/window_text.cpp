// Prints what a top-level window shows, so GUI tests can read a message box's text: Wine draws
// the text of a dialog's controls itself, so the X server holds nothing but pixels of it.
//
//   window_text.exe <window title>
//
// Finds the first top-level window whose title is exactly <window title> and prints one line per
// direct child window, top of the z-order first: the class name, a tab and the window text (a
// message box's text is a "Static" child, its buttons are "Button" children). Lines are UTF-8;
// "\" is written as "\\", CR as "\r" and LF as "\n".
//
// Exit codes: 0 the window was found, 1 no such window, 2 wrong arguments (usage on stderr).

#include <windows.h>

#include "tool_support.h"

namespace {

using vantrel::tools::HeapArray;

constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;

void AppendChild(HeapArray<char>& out, HWND child) {
  HeapArray<wchar_t> line;
  constexpr int kClassCapacity = 256;  // the longest class name Windows allows
  const int class_length = GetClassNameW(child, line.Grow(kClassCapacity), kClassCapacity);
  line.Truncate(class_length > 0 ? static_cast<std::size_t>(class_length) : 0);
  line.Append(L'\t');
  // For a window of another process this reads the text the system keeps for it, without
  // sending a message that a busy owner would have to answer.
  const int text_length = GetWindowTextLengthW(child);
  if (text_length > 0) {
    const std::size_t before = line.Size();
    const auto capacity = static_cast<std::size_t>(text_length) + 1;
    const int copied = GetWindowTextW(child, line.Grow(capacity), static_cast<int>(capacity));
    line.Truncate(before + (copied > 0 ? static_cast<std::size_t>(copied) : 0));
  }
  vantrel::tools::AppendEscapedLine(out, line.View());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    vantrel::tools::WriteStderr({L"usage: window_text.exe <window title>\n"});
    return kExitUsage;
  }
  HWND window = FindWindowW(nullptr, argv[1]);
  if (window == nullptr) return kExitNotFound;
  HeapArray<char> out;
  // The direct children, as a dialog's controls are; walked with GetWindow rather than
  // EnumChildWindows, whose callback could only get the output through an integer.
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    AppendChild(out, child);
  }
  vantrel::tools::WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), out.View());
  return 0;
}
