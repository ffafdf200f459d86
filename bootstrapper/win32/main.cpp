#include <windows.h>

#include "diagnostic_log.h"
#include "run_sequence.h"
#include "win32_boot_system.h"

namespace {

// Both objects live from static initialisation to exit processing; they are constructed in
// this order, so the log can use the system from its first line on.
stackboot::win32::Win32BootSystem g_system;
stackboot::DiagnosticLog g_log(g_system);

void CloseLogAtExit() { g_log.CloseLogFile(); }

// Opens the log before the entry runs, so that every line of the run reaches the file.
const bool g_logOpened = stackboot::OpenLogAtStartup(g_log, CloseLogAtExit);

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR lpCmdLine, int) {
  return stackboot::RunStackboot(g_system, g_log, reinterpret_cast<const char16_t*>(lpCmdLine));
}
