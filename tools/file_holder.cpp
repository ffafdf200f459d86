// Holds a file open with a chosen share mode until its stdin reaches end of file, so tests can
// make a file busy for the program under test the way another program would.
//
//   file_holder.exe <windows-path> <none|read|readwrite>
//
// The file is opened (created if missing) for reading and writing; "held" is printed once it is
// open. Exit codes: 0 after release, 1 if the file cannot be opened, 2 on bad arguments.

#include <windows.h>

#include <string_view>

#include "tool_support.h"

namespace {

constexpr int kExitOpenFailed = 1;
constexpr int kExitUsage = 2;

bool ParseShareMode(std::wstring_view name, DWORD& share) {
  if (name == L"none") {
    share = 0;
  } else if (name == L"read") {
    share = FILE_SHARE_READ;
  } else if (name == L"readwrite") {
    share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  } else {
    return false;
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD share = 0;
  if (argc != 3 || !ParseShareMode(argv[2], share)) {
    vantrel::tools::WriteStderr({L"usage: file_holder.exe <windows-path> <none|read|readwrite>\n"});
    return kExitUsage;
  }
  const vantrel::tools::UniqueHandle file(CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, share,
                                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
  if (!file.IsValid()) {
    const DWORD error = GetLastError();
    vantrel::tools::WriteStderr({L"file_holder: cannot open ", argv[1], L": error ",
                                 vantrel::tools::Decimal(error).View(), L"\n"});
    return kExitOpenFailed;
  }
  vantrel::tools::WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), "held\n");

  // Whatever arrives on stdin is ignored; only its end releases the file.
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[256];
  DWORD read = 0;
  while (ReadFile(in, buffer, sizeof(buffer), &read, nullptr) && read != 0) {
  }
  return 0;
}
