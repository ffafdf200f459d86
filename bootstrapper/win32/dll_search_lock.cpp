// Limits where this process may load DLLs from, before any other code of the program runs.
//
// The program runs elevated from a package folder that anyone may have written to. Its static
// imports are known DLLs, but shell32, user32 and advapi32 load further DLLs by bare name while
// it runs; the standard search would try the package folder first. A TLS callback runs when the
// process attaches, before the runtime's start-up code and every static initialiser, so the log's
// opening (which calls into shell32) already finds the search restricted.
#include <windows.h>

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);

template <typename Function>
Function FindKernelFunction(HMODULE kernel, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

void NTAPI LockDllSearch(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_PROCESS_ATTACH) return;
  // Both are looked up, so that a Windows without them still starts and refuses itself.
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  if (const auto setDefault =
          FindKernelFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories")) {
    if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  // Without it, at least the current folder leaves the search.
  if (const auto setDirectory = FindKernelFunction<SetDllDirectoryFn>(kernel, "SetDllDirectoryW")) {
    setDirectory(L"");
  }
}

}  // namespace

// The runtime's TLS directory calls every callback between .CRT$XLA and .CRT$XLZ in section
// order; .CRT$XLB comes before the runtime's own.
extern "C" {
__attribute__((section(".CRT$XLB"),
               used)) void(NTAPI* const g_lockDllSearch)(PVOID, DWORD, PVOID) = LockDllSearch;
}
