#include <windows.h>

#include "radio_exports.h"
#include "win32_radio_system.h"

// The host process calls these on any of its threads; each call builds its own view of the system
// on the stack and keeps nothing afterwards. They are exported by the module-definition file.

extern "C" DWORD WINAPI BluetoothEnableRadio(BOOL fEnable) {
  radiogate::win32::Win32RadioSystem system;
  return radiogate::BluetoothEnableRadio(system, fEnable);
}

extern "C" DWORD WINAPI IsBluetoothRadioEnabled(BOOL* pfEnabled) {
  radiogate::win32::Win32RadioSystem system;
  return radiogate::IsBluetoothRadioEnabled(system, pfEnabled);
}

// Loading and unloading set nothing up: the library has no state.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
