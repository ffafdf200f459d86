// A DLL that a test plants beside a program under the name of a system DLL. If it is ever loaded,
// it leaves a file "<its own path>.loaded" behind, so the test sees that the program took a DLL
// from a folder the system never named.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  lstrcatW(path, L".loaded");
  HANDLE marker =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  // Refusing to load keeps the planted copy from standing in for the real DLL any further.
  return FALSE;
}
